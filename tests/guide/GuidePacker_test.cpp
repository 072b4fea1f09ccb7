// The converter against the shared hand-written guide (byte for byte), guides
// made from the sample stations (their texts must come back), and bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "GuideTestSupport.h"
#include "SampleGuide.h"
#include "guide/GuideError.h"
#include "guide/GuidePacker.h"
#include "guide/StationFileNames.h"
#include "platform/CodePage.h"

namespace {

guide::TGuideWindow Window(int year, int month, int day) {
    guide::TGuideWindow window;
    window.from = QDate(year, month, day);
    return window;
}

// Packs the guide, fed in pieces of the given size.
std::string Pack(const std::string& guideBytes, const guide::TGuideWindow& window,
                 std::size_t piece = 4096) {
    guide::TGuidePacker packer(window);
    for (std::size_t at = 0; at < guideBytes.size(); at += piece)
        packer.Feed(std::string_view(guideBytes).substr(at, piece));
    return packer.Finish();
}

std::string SharedSample() {
    return ReadAll(VIMBREL_XMLTV_DIR "/sample.xml");
}

class SharedSampleTest : public ::testing::TestWithParam<bool> {};

TEST_P(SharedSampleTest, GivesTheExpectedStationFilesInOrder) {
    const std::string xml = SharedSample();
    ASSERT_FALSE(xml.empty());
    const std::string zip = Pack(GetParam() ? Gzip(xml) : xml, Window(2026, 12, 7), 7);
    TempDir dir;
    const std::vector<ExtractedFile> files = ExtractWithTheProgram(zip, dir);
    std::istringstream order(ReadAll(VIMBREL_XMLTV_DIR "/order.txt.gbk"));
    std::vector<std::string> names{platform::GbkToUtf8("\xBD\xDA\xC4\xBF\xB5\xA5/")};
    for (std::string line; std::getline(order, line);)
        if (!line.empty()) names.push_back(platform::GbkToUtf8(line));
    ASSERT_EQ(files.size(), names.size());
    for (std::size_t i = 1; i < files.size(); ++i) {
        EXPECT_EQ(files[i].name, names[i]);
        const std::string station = names[i].substr(names[i].find('/') + 1);
        EXPECT_EQ(files[i].bytes, ReadAll(VIMBREL_XMLTV_DIR "/expected/" + station)) << station;
    }
    // Names are GBK, so no entry may claim UTF-8 (flag bit 11); files are deflated.
    const std::vector<CentralEntry> entries = CentralDirectory(zip);
    ASSERT_EQ(entries.size(), names.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].flags & 0x800, 0) << i;
        EXPECT_EQ(entries[i].method, i == 0 ? 0 : 8) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndGzip, SharedSampleTest, ::testing::Bool());

// The station texts a program takes straight from the packer are the files
// the archive holds, named alike and in the same order.
TEST(GuidePacker, TextsAreTheArchivesFiles) {
    const std::string xml = SharedSample();
    guide::TGuidePacker texts(Window(2026, 12, 7), true);
    texts.Feed(xml);
    const std::vector<guide::TStationFile> stations = texts.FinishTexts();
    TempDir dir;
    const std::vector<ExtractedFile> files =
        ExtractWithTheProgram(Pack(xml, Window(2026, 12, 7)), dir);
    ASSERT_EQ(files.size(), stations.size() + 1);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        EXPECT_EQ(platform::NativeToGbk(files[i + 1].name),
                  "\xBD\xDA\xC4\xBF\xB5\xA5/" + stations[i].name);
        EXPECT_EQ(files[i + 1].bytes, stations[i].text) << i;
    }
}

// The sample stations written as a guide, at several offsets, programmes
// last to first: converting it at +08:00 gives each station's text back.
TEST(GuidePacker, SampleStationsComeBackFromTheirGuide) {
    TSampleGuideOptions options;
    options.stations.stations = 12;
    options.stations.programmesPerDay = 19; // the day's last programme starts before midnight
    options.reversed = true;
    options.details = true;
    std::ostringstream guideXml;
    WriteSampleGuide(guideXml, options);
    // Two gzip members in a row read as one guide.
    const std::string xml = guideXml.str();
    const std::string gz = Gzip(xml.substr(0, xml.size() / 3)) + Gzip(xml.substr(xml.size() / 3));
    TempDir dir;
    const std::vector<ExtractedFile> files = ExtractWithTheProgram(
        Pack(gz, Window(options.stations.year, options.stations.month, options.stations.day)), dir);
    ASSERT_EQ(files.size(), 13u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(platform::NativeToGbk(files[std::size_t(i) + 1].name),
                  "\xBD\xDA\xC4\xBF\xB5\xA5/" + SampleStationName(options.stations, i) + ".txt");
        EXPECT_EQ(files[std::size_t(i) + 1].bytes, SampleStationText(options.stations, i)) << i;
    }
}

// A channel's programmes may come in several runs: the later ones are packed
// with the earlier ones, and equal starts keep the guide's order across runs.
TEST(GuidePacker, ProgrammesOfAChannelInSeveralRuns) {
    auto programme = [](const char* channel, const char* start, const char* title) {
        return std::string("<programme channel=\"") + channel + "\" start=\"20261207" + start +
               "00 +0800\"><title>" + title + "</title></programme>";
    };
    const std::string xml = "<tv><channel id=\"a\"/><channel id=\"b\"/>" +
                            programme("a", "1200", "first") + programme("b", "0900", "b") +
                            programme("a", "1200", "second") + programme("a", "1100", "early") +
                            programme("b", "0800", "b early") + "</tv>";
    TempDir dir;
    const std::vector<ExtractedFile> files =
        ExtractWithTheProgram(Pack(xml, Window(2026, 12, 7)), dir);
    ASSERT_EQ(files.size(), 3u);
    const std::string empty = "\r\n";
    EXPECT_EQ(files[1].bytes.substr(0, files[1].bytes.find(empty + "\r\n")),
              platform::QStringToGbk("26/12/07 星期一\r\n11:00 early\r\n12:00 first\r\n"
                                     "12:00 second"));
    EXPECT_NE(files[2].bytes.find("08:00 b early\r\n09:00 b\r\n"), std::string::npos);
}

struct BadGuide {
    const char* what;
    std::string bytes;
    const char* message; // the start of the error's text
};

std::string Programme(const char* start) {
    return std::string("<programme channel=\"a\" start=\"") + start +
           "\"><title>T</title></programme>";
}

const std::string Good = "<tv><channel id=\"a\"/>" + Programme("20261207120000 +0800") + "</tv>";
const std::string Laughs = "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\">"
                           "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                           "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                           "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                           "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                           "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
                           "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
                           "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
                           "<tv><channel id=\"a\"/><programme channel=\"a\" start=\"20261207120000"
                           " +0800\"><title>&h;</title></programme></tv>";

TEST(GuidePacker, BadGuidesAreRefusedWithOneClearMessage) {
    std::string damaged = Gzip(Good);
    damaged[12] = char(damaged[12] ^ 0x55);
    const BadGuide cases[] = {
        {"mismatched tag", "<tv>\n<channel id=\"a\">\n</programme></tv>",
         "malformed XML at line 3, column 13: Opening and ending tag mismatch"},
        {"cut XML", Good.substr(0, Good.size() - 3), "malformed XML at line 1"},
        {"empty", "", "the guide is empty"},
        {"not XML", "PK\x03\x04", "malformed XML at line 1, column 1: "},
        {"cut gzip", Gzip(Good).substr(0, 30), "the gzip stream ends early"},
        {"gzip header only", Gzip(Good).substr(0, 2), "the gzip stream ends early"},
        {"damaged gzip", damaged, "the gzip data is damaged"},
        {"nothing in the window",
         "<tv><channel id=\"a\"/>" + Programme("20261214000000 +0800") + Programme("2026120712") +
             "</tv>",
         "the guide has no programme in the window"},
        {"billion laughs", Laughs, "malformed XML at line 1, column 453: Entity 'h' not defined"},
    };
    for (const BadGuide& c : cases) {
        try {
            Pack(c.bytes, Window(2026, 12, 7));
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << c.what << ": " << e.what();
        }
    }
}

// A guide with nothing in the window tells the last day it has, on the
// window's clock.
TEST(GuidePacker, NothingInTheWindowNamesTheGuidesLastDay) {
    const std::string xml = "<tv><channel id=\"a\"/>" + Programme("20261130230000 +0800") +
                            Programme("20261130170000 +0000") + "</tv>";
    try {
        Pack(xml, Window(2026, 12, 7));
        ADD_FAILURE() << "accepted";
    } catch (const guide::EGuideError& e) {
        EXPECT_EQ(e.cause, guide::EGuideError::ceNoProgramme);
        EXPECT_EQ(e.lastDay, QDate(2026, 12, 1));
    }
}

TEST(GuidePacker, ExternalEntitiesAreNeverRead) {
    TempDir dir;
    WriteAll(dir.file("secret.txt"), "SECRET");
    const std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY x SYSTEM \"file://" +
                            dir.file("secret.txt") + "\">]><tv><channel id=\"a\"/>" +
                            "<programme channel=\"a\" start=\"20261207120000 +0800\"><title>"
                            "T&x;</title></programme></tv>";
    try {
        Pack(xml, Window(2026, 12, 7));
        ADD_FAILURE() << "accepted";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("Entity 'x' not defined"), std::string::npos);
    }
}

// Names that differ only in ASCII case take turns; the second byte of a GBK
// pair is no ASCII letter, even where its value is one.
TEST(StationFileNames, RepeatedNamesGetANumber) {
    const struct {
        std::vector<const char*> stations; // UTF-8
        std::vector<std::string> files;    // GBK
    } cases[] = {
        {{"abc", "ABC", "Abc"}, {"abc.txt", "ABC(2).txt", "Abc(3).txt"}},
        {{"A", "A", "A(2)"}, {"A.txt", "A(2).txt", "A(2)(2).txt"}},
        {{"丄", "乤"}, {"\x81\x41.txt", "\x81\x61.txt"}},
        {{"  ", "\t/\t", "a\nb"}, {"_.txt", "___.txt", "a_b.txt"}},
    };
    for (const auto& c : cases) {
        guide::TStationFileNames names;
        for (std::size_t i = 0; i < c.stations.size(); ++i)
            EXPECT_EQ(names.Add(c.stations[i]), c.files[i]) << c.stations[i];
    }
}

} // namespace
