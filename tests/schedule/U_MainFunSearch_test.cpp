// The programme line matcher shared by the search dialog and vimbrel-cli.
#include <QString>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

#include "SampleSchedule.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunSearch.h"
#include "schedule/U_MainFunSearchFind.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"
#include "support/TempDir.h"

namespace {

std::string Gbk(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

struct TFound {
    std::string Date, Weekday, Line;
    bool operator==(const TFound&) const = default;
};

std::vector<TFound> Search(std::string_view text, std::string_view key) {
    std::vector<TFound> found;
    TStationMatches matches;
    std::size_t count = SearchStationText(text, key, matches);
    for (const TStationMatches::TMatch& match : matches.Matches) {
        ScheduleRow row = matches.Row(match);
        found.push_back({row.Date, row.Weekday, row.Line});
    }
    EXPECT_EQ(count, found.size());
    return found;
}

std::vector<std::string> Lines(const std::vector<TFound>& found) {
    std::vector<std::string> lines;
    for (const TFound& f : found)
        lines.push_back(f.Line);
    return lines;
}

// Two days with a programme above the first date line and a blank line of
// spaces and a tab.
const std::string Week = Gbk("07:00 早间新闻\r\n"
                             "05/03/14 星期一\r\n"
                             "08:00 News at Eight\r\n"
                             "  \t \r\n"
                             "12:30  午间新闻 \r\n"
                             "05/03/15 星期二\n"
                             "0900新闻\r"
                             "21:00 news\r\n");

TEST(SearchStationText, MatchesProgrammeLinesOnly) {
    struct Case {
        const char* name;
        std::string key;
        std::vector<std::string> lines;
    } cases[] = {
        {"colon in every time but one",
         ":",
         {Gbk("07:00 早间新闻"), "08:00 News at Eight", Gbk("12:30  午间新闻 "), "21:00 news"}},
        {"weekday word of date lines", Gbk("星期"), {}},
        {"date slash", "/", {}},
        {"upper case is not lower case", "news", {"21:00 news"}},
        {"lower case is not upper case", "News", {"08:00 News at Eight"}},
        {"a blank, not in blank lines",
         " ",
         {Gbk("07:00 早间新闻"), "08:00 News at Eight", Gbk("12:30  午间新闻 "), "21:00 news"}},
        {"a tab only in a blank line", "\t", {}},
        {"two blanks inside a title", "  ", {Gbk("12:30  午间新闻 ")}},
        {"Chinese title",
         Gbk("新闻"),
         {Gbk("07:00 早间新闻"), Gbk("12:30  午间新闻 "), Gbk("0900新闻")}},
        {"time digits", "0900", {Gbk("0900新闻")}},
        {"the whole line", "21:00 news", {"21:00 news"}},
        {"longer than any line", "21:00 news and more", {}},
        {"across a line end", "Eight\r\n", {}},
        {"line feed", "\n", {}},
        {"zero byte", std::string("\0", 1), {}},
        {"empty key", "", {}},
        {"absent", "xyz", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(Search(Week, c.key)), c.lines) << c.name;
}

TEST(SearchStationText, RowsCarryTheirDateAndWeekday) {
    std::vector<TFound> found = Search(Week, Gbk("新闻"));
    ASSERT_EQ(found.size(), 3u);
    // Above the first date line: the conversion of an empty date text.
    EXPECT_EQ(found[0], (TFound{"20--", "", Gbk("07:00 早间新闻")}));
    EXPECT_EQ(found[1], (TFound{"2005-03-14", Gbk("星期一"), Gbk("12:30  午间新闻 ")}));
    EXPECT_EQ(found[2], (TFound{"2005-03-15", Gbk("星期二"), Gbk("0900新闻")}));
}

TEST(SearchStationText, MatchMayStartOnTheSecondByteOfACharacter) {
    // 中 is D6 D0 and 文 is CE C4: D0 CE spans the two characters.
    std::string text = "05/03/14 " + Gbk("星期一") + "\r\n08:00 " + Gbk("中文") + "\r\n";
    EXPECT_EQ(Search(text, "\xD0\xCE").size(), 1u);
    EXPECT_EQ(Search(text, "\xC4").size(), 1u);
}

TEST(SearchStationText, KeyInADateLineAndLaterInAProgramme) {
    // The first occurrence lies in a date line; the programme below still counts.
    std::string text = Gbk("05/03/14 星期一 体育\r\n08:00 新闻\r\n09:00 体育\r\n");
    EXPECT_EQ(Lines(Search(text, Gbk("体育"))), std::vector<std::string>{Gbk("09:00 体育")});
}

TEST(SearchStationText, OneRowPerLineWhateverTheOccurrences) {
    EXPECT_EQ(Search("08:00 aaaa\r\n09:00 a\r\n", "aa").size(), 1u);
    EXPECT_EQ(Search("08:00 aaaa\r\n09:00 a", "a").size(), 2u); // no line end at the end
}

TEST(SearchStationText, TextEndsAtAZeroByte) {
    std::string text("08:00 one\r\n\0"
                     "09:00 two\r\n",
                     22);
    EXPECT_EQ(Search(text, "two").size(), 0u);
    EXPECT_EQ(Search(text, "one").size(), 1u);
}

// Every row that StationRows gives and whose line holds the key, in order.
TEST(SearchStationText, AgreesWithStationRowsOnSampleStations) {
    TSampleOptions options;
    const std::string keys[] = {":", Gbk("新闻"), Gbk("(重播)"), Gbk("第1"), " ", "\xD0", "0"};
    for (int station = 0; station < 5; ++station) {
        std::string text = SampleStationText(options, station);
        for (const std::string& key : keys) {
            std::vector<TFound> expected;
            for (const ScheduleRow& row : StationRows(TextLines(text)))
                if (row.Line.find(key) != std::string::npos)
                    expected.push_back({row.Date, row.Weekday, row.Line});
            EXPECT_EQ(Search(text, key), expected) << "station " << station << " key " << key;
        }
    }
}

// Random weeks of odd lines: the search must give exactly the rows of
// StationRows whose line holds the key.
TEST(SearchStationText, AgreesWithStationRowsOnRandomTexts) {
    const std::string pieces[] = {Gbk("05/03/14 星期一"),
                                  "08:00 a/b",
                                  Gbk("星期/"),
                                  " ",
                                  "\t",
                                  Gbk("09:00 新闻"),
                                  "ab",
                                  "a:b",
                                  Gbk("12:00 星期天"),
                                  "/",
                                  "x",
                                  "07:00 " + std::string(70, 'x') + "a:b"};
    const char* const ends[] = {"\r\n", "\n", "\r", "\n\r", ""};
    const std::string keys[] = {":", "/", "a", Gbk("星期"), " ", Gbk("新闻"), "b\r", "\xC6\xDA"};
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        // Short texts, and some of several kilobytes, where the key is in
        // line after line and lines cross 64-byte blocks.
        for (int n = int(rng() % (round % 4 ? 12 : 400)); n > 0; --n)
            text += pieces[rng() % std::size(pieces)] + ends[rng() % std::size(ends)];
        if (round % 10 == 0) text.insert(rng() % (text.size() + 1), 1, '\0');
        for (const std::string& key : keys) {
            std::vector<TFound> expected;
            if (key.find_first_of("\r\n") == std::string::npos)
                for (const ScheduleRow& row : StationRows(TextLines(text)))
                    if (row.Line.find(key) != std::string::npos)
                        expected.push_back({row.Date, row.Weekday, row.Line});
            ASSERT_EQ(Search(text, key), expected) << testing::PrintToString(text) << " " << key;
        }
    }
}

// The line rule, byte by byte: the block-wise scanner must agree with it at
// every length and alignment.
std::vector<std::string> ReferenceLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        lines.push_back(line);
        line.clear();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

TEST(TextLines, AgreesWithTheLineRuleOnRandomTexts) {
    const char alphabet[] = {'a', ' ', '\r', '\n', '\0', '\xD0', '\x0D' + 1, '\x0A' - 1};
    std::mt19937 rng(7);
    TLines lines;
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 300, 'x');
        // Mostly plain bytes, so that line ends fall at every offset in a block.
        for (char& c : text)
            c = rng() % 4 ? 'b' : alphabet[rng() % std::size(alphabet)];
        if (round % 3 == 0) std::erase(text, '\0');
        TextLines(text, lines);
        ASSERT_EQ(std::vector<std::string>(lines.begin(), lines.end()), ReferenceLines(text))
            << testing::PrintToString(text);
    }
}

// Both ways of finding the key against the standard library's, with keys of
// every length ending at every offset of a 32-byte block, from every start,
// filtering on the key's first and last bytes and on those a sample makes
// rarest (the sample of the last rounds holds no byte of the key at all).
TEST(TKeyFinder, BothWaysAgreeWithAPlainSearchOnRandomTexts) {
    const char alphabet[] = {'a', 'b', ':', ' ', '\xD0', '\xCE', '\xA3'};
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 200, 'x');
        for (char& c : text)
            c = alphabet[rng() % std::size(alphabet)];
        std::string key(1 + rng() % 6, 'x');
        for (char& c : key)
            c = alphabet[rng() % 3 == 0 ? rng() % std::size(alphabet) : 4 + rng() % 3];
        TKeyFinder finder(key);
        if (round % 3 == 1) finder.Adapt(text);
        if (round % 3 == 2) finder.Adapt("xyz");
        for (std::size_t from = 0; from <= text.size(); ++from) {
            const std::size_t expected = std::string_view(text).find(key, from);
            ASSERT_EQ(finder.FindPlain(text, from), expected)
                << testing::PrintToString(text) << " " << testing::PrintToString(key) << " "
                << from;
            ASSERT_EQ(finder.FindWide(text, from), expected) << "wide";
            ASSERT_EQ(finder.Find(text, from), expected) << "chosen";
        }
    }
}

class SearchScheduleStationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string folder = dir.file("stations/");
        std::filesystem::create_directories(folder);
        WriteAll(folder + "A.txt", "05/03/14 " + Gbk("星期一") + "\r\n08:00 key\r\n");
        BuildScheduleFile(folder, "*.*", dir.file("lastsch.sch"), 38425.5);
    }
    TempDir dir;
    TKeyFinder key{"key"};
    std::string_view text;
    TStationMatches found;
};

TEST_F(SearchScheduleStationTest, ReadsTheStationAndSearchesIt) {
    TScheduleObject schedule(dir.file("lastsch.sch"), TScheduleObject::fmOpen);
    std::vector<TStationEntry> stations = ReadStationIndex(schedule);
    ASSERT_EQ(stations.size(), 1u);
    EXPECT_TRUE(SearchScheduleStation(schedule, stations[0].Offset, key, text, found));
    ASSERT_EQ(found.Matches.size(), 1u);
    EXPECT_EQ(found.Row(found.Matches[0]).Title, "key");
    EXPECT_EQ(found.Row(found.Matches[0]).Date, "2005-03-14");
    EXPECT_EQ(schedule.StationDisplayName(), "A");
}

TEST_F(SearchScheduleStationTest, DamagedRecordIsReportedAndMatchesNothing) {
    TScheduleObject schedule(dir.file("lastsch.sch"), TScheduleObject::fmOpen);
    for (std::int32_t offset : {-1, 30, 140, 1 << 30}) {
        EXPECT_FALSE(SearchScheduleStation(schedule, offset, key, text, found)) << offset;
        EXPECT_TRUE(found.Matches.empty());
    }
    TScheduleObject missing(dir.file("none.sch"), TScheduleObject::fmOpen);
    EXPECT_FALSE(SearchScheduleStation(missing, 24, key, text, found));
    EXPECT_TRUE(found.Matches.empty());
    EXPECT_TRUE(text.empty());
}

} // namespace
