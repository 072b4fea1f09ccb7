#include <gtest/gtest.h>

#include <QString>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/CodePage.h"
#include "platform/Files.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"
#include "support/TempDir.h"

namespace {

std::string G(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

std::vector<std::string> Strings(const TLines& lines) {
    return {lines.begin(), lines.end()};
}

std::string Repeat(const std::string& text, int times) {
    std::string all;
    while (times-- > 0)
        all += text;
    return all;
}

TEST(TextLines, SplitsAtEveryKindOfLineEnd) {
    using V = std::vector<std::string>;
    struct Case {
        std::string text;
        V lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}}, // LF CR is two line ends
        {"a\r\n\r\nb", {"a", "", "b"}},
        {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}}, // a zero byte ends the text
        {"\r\n", {""}},
        // Across the 64-byte blocks TextLines takes the text in:
        {std::string(63, 'x') + "\r\ny\r\n", {std::string(63, 'x'), "y"}},
        {Repeat("a\r\n", 30), V(30, "a")},
        {Repeat("\r\n", 40), V(40, "")},
        {std::string(70, 'x') + "\r\ny\n", {std::string(70, 'x'), "y"}},
        {std::string(63, 'x') + "\r", {std::string(63, 'x')}},
        {std::string(64, 'x') + "\r\n" + std::string(60, 'y') + std::string("\0\r\n", 3),
         {std::string(64, 'x'), std::string(60, 'y')}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Strings(TextLines(c.text)), c.lines) << c.text;
}

TEST(SplitField, FieldsCountsAndEdges) {
    EXPECT_EQ(SplitField("a//b", "/", 1), "a");
    EXPECT_EQ(SplitField("a//b", "/", 2), "");
    EXPECT_EQ(SplitField("a//b", "/", 3), "b");
    EXPECT_EQ(SplitField("a//b", "/", 4), "");
    EXPECT_EQ(SplitField("a//b", "/", 0), "3");
    EXPECT_EQ(SplitField("", "/", 0), "1");
    EXPECT_EQ(SplitField("", "/", 1), "");
    EXPECT_EQ(SplitField("a/b", "/", -3), "a");
    EXPECT_EQ(SplitField("host:80:x", ":", 2), "80");
    EXPECT_EQ(SplitField("a<>b<>c", "<>", 3), "c");
    EXPECT_EQ(SplitField("a<>b<>c", "<>", 0), "3");
    EXPECT_EQ(SplitField("abc", "", 0), "1");
}

TEST(ConvertDate, JoinsTheThreeFields) {
    EXPECT_EQ(ConvertDate("05/03/14"), "2005-03-14");
    EXPECT_EQ(ConvertDate(""), "20--");
    EXPECT_EQ(ConvertDate("  05/03/"), "20  05-03-");
    EXPECT_EQ(ConvertDate("05/3/14 "), "2005-3-14 ");
}

TEST(StationRows, WorkedExample) {
    std::string text = "05/03/14 " + G("星期一") + "\r\n08:00 " + G("新闻联播") +
                       "\r\n\r\n12:30  " + G("天气预报") + " \r\n";
    auto rows = StationRows(TextLines(text));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Date, "2005-03-14");
    EXPECT_EQ(rows[0].Weekday, G("星期一"));
    EXPECT_EQ(rows[0].Time, "08:00");
    EXPECT_EQ(rows[0].Title, G("新闻联播"));
    EXPECT_EQ(rows[1].Time, "12:30");
    EXPECT_EQ(rows[1].Title, G("天气预报"));
    EXPECT_EQ(rows[1].Line, "12:30  " + G("天气预报") + " ");
    EXPECT_EQ(rows[1].Date, "2005-03-14");
}

TEST(StationRows, LineRulesAtTheEdges) {
    const std::string xq = G("星期");
    // Before any date line: empty date text and weekday.
    auto rows = StationRows(TextLines("08:00 a\r\n"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Date, "20--");
    EXPECT_EQ(rows[0].Weekday, "");

    // A title holding "/" and "星期" is a date line: no row, new date.
    rows = StationRows(TextLines("05/03/14 " + xq + "\r\n09:00 a/b" + xq + "c\r\n10:00 t\r\n"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Date, "2009:00 a--"); // first 8 bytes "09:00 a/"
    EXPECT_EQ(rows[0].Weekday, "b" + xq + "c");

    // Two leading spaces stay in the date text.
    rows = StationRows(TextLines("  05/03/14 " + xq + "\r\n1\r\n"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Date, "20  05-03-");

    // A date line of 8 bytes or fewer: the whole line, empty weekday.
    rows = StationRows(TextLines(xq + "/a\r\nx\r\n"));
    EXPECT_EQ(rows[0].Weekday, "");

    // Short programme lines, a cut inside a two-byte character, trimming.
    rows = StationRows(
        TextLines("0800\r\n1234" + G("节目") + "\r\n\t \r\n12:00\t" + G("新闻") + "\t\x01\r\n"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Time, "0800");
    EXPECT_EQ(rows[0].Title, "");
    EXPECT_EQ(rows[1].Time, "1234" + G("节目").substr(0, 1));
    EXPECT_EQ(rows[1].Title, G("节目").substr(1));
    EXPECT_EQ(rows[2].Title, G("新闻"));

    // A full-width space (GBK A1 A1) is not trimmed.
    rows = StationRows(TextLines("08:00 \xA1\xA1x\xA1\xA1"));
    EXPECT_EQ(rows[0].Title, "\xA1\xA1x\xA1\xA1");
}

TEST(StationRows, LineEndsDoNotChangeRows) {
    std::string crlf = "05/03/14 " + G("星期二") + "\r\n08:00 a\r\n09:00 b\r\n";
    std::string lf = crlf, cr = crlf;
    std::erase(lf, '\r');
    std::erase(cr, '\n');
    auto expected = StationRows(TextLines(crlf));
    ASSERT_EQ(expected.size(), 2u);
    for (const std::string& t : {lf, cr}) {
        auto rows = StationRows(TextLines(t));
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1].Line, expected[1].Line);
        EXPECT_EQ(rows[1].Weekday, expected[1].Weekday);
    }
}

// ---- Builder ----------------------------------------------------------------

class Builder : public ::testing::Test {
protected:
    std::string folder() const { return dir.path() + "st/"; }
    std::string target() const { return dir.file("lastsch.sch"); }
    void SetUp() override { std::filesystem::create_directory(folder()); }
    void Station(const std::string& name, const std::string& text) {
        WriteAll(folder() + name, text);
    }
    std::vector<TStationEntry> Index() {
        TScheduleObject file(target(), TScheduleObject::fmOpen);
        return ReadStationIndex(file);
    }
    TempDir dir;
};

TEST_F(Builder, EmptyOrMissingFolderGivesEmptySchedule) {
    BuildScheduleFile(folder(), "*.*", target(), 40000.25);
    EXPECT_EQ(ReadAll(target()).size(), 24u);
    BuildScheduleFile(dir.file("missing"), "*.*", target(), 40000.25);
    std::string bytes = ReadAll(target());
    ASSERT_EQ(bytes.size(), 24u);
    double built;
    std::memcpy(&built, bytes.data() + 8, 8);
    EXPECT_EQ(built, 40000.25);
}

TEST_F(Builder, TakesTxtFilesOnly) {
    Station("a.TXT", "1");
    Station("b.Txt", "22");
    Station("c.txt.bak", "x");
    Station("d", "x");
    Station("e.f.txt", "");
    Station(".txt", "e");
    Station(".hidden.txt", "h");
    std::filesystem::create_directory(folder() + "x.txt");
    Station("x.txt/inner.txt", "no");
    Station("ro.txt", "r");
    platform::SetFileAttributesA(folder() + "ro.txt", platform::FILE_ATTRIBUTE_READONLY);

    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    std::vector<std::string> names;
    TScheduleObject file(target(), TScheduleObject::fmOpen);
    std::string text;
    for (auto& s : ReadStationIndex(file)) {
        names.push_back(s.Name);
        ASSERT_TRUE(file.SelectStation(s.Offset));
        EXPECT_EQ(file.StationDisplayName(), s.Name);
        ASSERT_TRUE(file.ReadStationText(text));
        EXPECT_EQ(text, ReadAll(folder() + std::string(s.Name) +
                                (s.Name == "a"   ? ".TXT"
                                 : s.Name == "b" ? ".Txt"
                                                 : ".txt")));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"", ".hidden", "a", "b", "e.f", "ro"}));
}

// A name holding a control character (here a line end) is never put into the
// names text, where it would pair every later name with the wrong record.
TEST_F(Builder, NamesWithControlCharactersAreSkipped) {
    Station("a.txt", "A");
    Station("b\nc.txt", "BC");
    Station("d\re.txt", "DE");
    Station("f\tg.txt", "FG");
    Station("z.txt", "Z");
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    TScheduleObject file(target(), TScheduleObject::fmOpen);
    std::vector<std::string> names;
    std::string text;
    for (auto& s : ReadStationIndex(file)) {
        names.push_back(s.Name);
        ASSERT_TRUE(file.SelectStation(s.Offset));
        ASSERT_TRUE(file.ReadStationText(text));
        EXPECT_EQ(text, ReadAll(folder() + s.Name + ".txt")) << s.Name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "z"}));
}

TEST_F(Builder, RecordsFollowEachOther) {
    Station("one.txt", std::string(10, '1'));
    Station("two.txt", std::string(20, '2'));
    Station("three.txt", std::string(30, '3'));
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    auto stations = Index();
    ASSERT_EQ(stations.size(), 3u);
    std::int64_t expected = 24;
    std::int64_t sum = 0;
    for (auto& s : stations) {
        EXPECT_EQ(s.Offset, expected);
        std::int64_t length = std::int64_t(ReadAll(folder() + s.Name + ".txt").size());
        expected += 105 + length;
        sum += length;
    }
    std::string bytes = ReadAll(target());
    std::int32_t indexOffset;
    std::memcpy(&indexOffset, bytes.data(), 4);
    EXPECT_EQ(indexOffset, expected);
    EXPECT_EQ(bytes.size(), std::size_t(24 + 3 * 105 + sum + 8 + 17 + 3 * 4));
}

TEST_F(Builder, GbkNamesAndLongNames) {
    const std::string chinese = "北京卫视"; // native UTF-8 on disk
    Station(chinese + ".txt", "x");
    const std::string longName(120, 'L');
    Station(longName + ".txt", "y");
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    TScheduleObject file(target(), TScheduleObject::fmOpen);
    auto stations = ReadStationIndex(file);
    ASSERT_EQ(stations.size(), 2u);
    for (auto& s : stations) {
        ASSERT_TRUE(file.SelectStation(s.Offset));
        if (s.Name == G("北京卫视")) {
            EXPECT_EQ(file.StationDisplayName(), G("北京卫视"));
        } else {
            EXPECT_EQ(s.Name, longName); // whole in the index
            EXPECT_EQ(file.StationDisplayName(), longName.substr(0, 101));
        }
    }
}

TEST_F(Builder, NameGbkCannotHoldKeepsItsStationWithQuestionMarks) {
    Station("ab\xF0\x9F\x98\x80.txt", "emoji"); // U+1F600
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    auto stations = Index();
    ASSERT_EQ(stations.size(), 1u);
    EXPECT_EQ(stations[0].Name, "ab?");
}

TEST_F(Builder, ReplacesAnUnheldTarget) {
    Station("a.txt", "1");
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    Station("b.txt", "2");
    BuildScheduleFile(folder(), "*.*", target(), 2.0);
    EXPECT_EQ(Index().size(), 2u);
    EXPECT_FALSE(platform::FileExists(target() + ".new"));
}

TEST_F(Builder, HeldTargetFailsAndStaysUnchanged) {
    Station("a.txt", "1");
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    const std::string before = ReadAll(target());
    Station("b.txt", "2");
    TScheduleObject holder(target(), TScheduleObject::fmOpen);
    try {
        BuildScheduleFile(folder(), "*.*", target(), 2.0);
        FAIL() << "built over a held target";
    } catch (const EScheduleError& e) {
        EXPECT_STREQ(e.what(), "无法创建文件");
    }
    EXPECT_EQ(ReadAll(target()), before);
    EXPECT_FALSE(platform::FileExists(target() + ".new"));
}

TEST_F(Builder, UnreadableStationLeavesOldScheduleAndNoLeftovers) {
    Station("a.txt", "1");
    BuildScheduleFile(folder(), "*.*", target(), 1.0);
    const std::string before = ReadAll(target());
    // A station file that opens but fails to read, also for root.
    Station("b.txt", "2");
    std::filesystem::create_symlink("/proc/self/clear_refs", folder() + "c.txt");
    EXPECT_THROW(BuildScheduleFile(folder(), "*.*", target(), 2.0), EScheduleError);
    EXPECT_EQ(ReadAll(target()), before);
    EXPECT_FALSE(platform::FileExists(target() + ".new"));
}

} // namespace
