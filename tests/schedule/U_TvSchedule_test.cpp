#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"
#include "support/TempDir.h"

namespace {

std::int32_t Int32At(const std::string& bytes, std::size_t at) {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// Writes a schedule the way the builder does, from (name, text) pairs.
void WriteSchedule(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& stations) {
    TScheduleObject file(path, TScheduleObject::fmCreate);
    file.Header.BuildTime = 38425.5;
    file.WriteHeader();
    std::string names, offsets;
    for (auto& [name, text] : stations) {
        file.SetStationName(name);
        std::int32_t offset = file.BeginStation();
        file.WriteStationText(text);
        names += name + "\r\n";
        offsets.append(reinterpret_cast<const char*>(&offset), 4);
    }
    file.WriteIndex(names, offsets);
    file.WriteHeader();
}

TEST(ScheduleFile, EmptyScheduleIs24Bytes) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {});
    std::string bytes = ReadAll(dir.file("s.sch"));
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(Int32At(bytes, 0), 16);
    EXPECT_EQ(Int32At(bytes, 4), 0);
    double built;
    std::memcpy(&built, bytes.data() + 8, 8);
    EXPECT_EQ(built, 38425.5);
    EXPECT_EQ(Int32At(bytes, 16), 0);
    EXPECT_EQ(Int32At(bytes, 20), 0);
    TScheduleObject reader(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_TRUE(ReadStationIndex(reader).empty());
}

TEST(ScheduleFile, OneStationLayoutIsExact) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {{"A", "abc"}});
    std::string bytes = ReadAll(dir.file("s.sch"));
    ASSERT_EQ(bytes.size(), 147u);
    EXPECT_EQ(Int32At(bytes, 0), 132);
    EXPECT_EQ(bytes.substr(16, 8), std::string(8, '\0'));
    EXPECT_EQ(bytes.substr(24, 2), std::string("A\0", 2));
    EXPECT_EQ(Int32At(bytes, 125), 3);
    EXPECT_EQ(bytes.substr(129, 3), "abc");
    EXPECT_EQ(Int32At(bytes, 132), 1);
    EXPECT_EQ(Int32At(bytes, 136), 3);
    EXPECT_EQ(bytes.substr(140, 3), "A\r\n");
    EXPECT_EQ(Int32At(bytes, 143), 24);
}

TEST(ScheduleFile, CreatingOverALongerFileLeavesOnlyTheNewContents) {
    TempDir dir;
    WriteSchedule(dir.file("fresh.sch"), {{"A", "abc"}});
    WriteAll(dir.file("s.sch"), std::string(5000, 'x'));
    WriteSchedule(dir.file("s.sch"), {{"A", "abc"}}); // closed by its destructor
    EXPECT_EQ(ReadAll(dir.file("s.sch")), ReadAll(dir.file("fresh.sch")));

    WriteAll(dir.file("s.sch"), std::string(5000, 'x'));
    TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmCreate);
    file.Close();
    EXPECT_EQ(ReadAll(dir.file("s.sch")).size(), 24u);
}

TEST(ScheduleFile, ReadsBackNamesAndTexts) {
    TempDir dir;
    const std::string name101(101, 'N');
    WriteSchedule(dir.file("s.sch"), {{"\xB1\xB1\xBE\xA9", "text one"}, {"", ""}, {name101, "x"}});
    TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
    ASSERT_TRUE(file.HasFile());
    auto stations = ReadStationIndex(file);
    ASSERT_EQ(stations.size(), 3u);
    EXPECT_EQ(stations[0].Name, "\xB1\xB1\xBE\xA9");
    EXPECT_EQ(stations[0].Offset, 24);
    EXPECT_EQ(stations[1].Name, "");
    EXPECT_EQ(stations[2].Name, name101);

    std::string text;
    ASSERT_TRUE(file.SelectStation(stations[0].Offset));
    EXPECT_EQ(file.StationDisplayName(), "\xB1\xB1\xBE\xA9");
    ASSERT_TRUE(file.ReadStationText(text));
    EXPECT_EQ(text, "text one");
    ASSERT_TRUE(file.SelectStation(stations[1].Offset));
    ASSERT_TRUE(file.ReadStationText(text));
    EXPECT_EQ(text, ""); // a zero length reads back as an empty text
    ASSERT_TRUE(file.SelectStation(stations[2].Offset));
    EXPECT_EQ(file.StationDisplayName(), name101); // no zero byte in a full field
}

// The index read takes the file's tail in one go when it is short; bytes after
// the index, a few or more than that read takes, change nothing.
TEST(ScheduleFile, BytesAfterTheIndexChangeNothing) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {{"A", "abc"}, {"BB", "x"}});
    const std::string good = ReadAll(dir.file("s.sch"));
    for (std::size_t after : {std::size_t(1), std::size_t(5) << 20}) {
        WriteAll(dir.file("s.sch"), good + std::string(after, 'z'));
        TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
        auto stations = ReadStationIndex(file);
        ASSERT_EQ(stations.size(), 2u) << after;
        EXPECT_EQ(stations[1].Name, "BB") << after;
        EXPECT_EQ(stations[1].Offset, 24 + 101 + 4 + 3) << after;
    }
}

TEST(ScheduleFile, NameReadsUpToItsZeroByteWhateverFollows) {
    TScheduleObject none("/nonexistent/x.sch", TScheduleObject::fmOpen);
    std::memset(none.StationName, 'z', sizeof none.StationName);
    none.StationName[2] = '\0';
    EXPECT_EQ(none.StationDisplayName(), "zz");
}

TEST(ScheduleFile, NamesSizeZeroMeansNoStations) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {{"A", "abc"}});
    std::string bytes = ReadAll(dir.file("s.sch"));
    std::memset(bytes.data() + 136, 0, 4); // NamesSize 0, StationCount still 1
    WriteAll(dir.file("s.sch"), bytes);
    TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_TRUE(ReadStationIndex(file).empty());
}

TEST(ScheduleFile, MissingFileGivesObjectWithoutFile) {
    TempDir dir;
    TScheduleObject file(dir.file("none.sch"), TScheduleObject::fmOpen);
    EXPECT_FALSE(file.HasFile());
    EXPECT_EQ(file.Header.IndexOffset, 0);
    EXPECT_TRUE(ReadStationIndex(file).empty());
}

TEST(ScheduleFile, HeldFileCannotBeOpenedCreatedOrDeleted) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {{"A", "abc"}});
    TScheduleObject holder(dir.file("s.sch"), TScheduleObject::fmOpen);
    ASSERT_TRUE(holder.HasFile());

    TScheduleObject second(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_FALSE(second.HasFile());
    EXPECT_TRUE(ReadStationIndex(second).empty());
    try {
        TScheduleObject create(dir.file("s.sch"), TScheduleObject::fmCreate);
        FAIL() << "create succeeded while the file was held";
    } catch (const EScheduleError& e) {
        EXPECT_STREQ(e.what(), "无法创建文件");
    }
    EXPECT_FALSE(platform::DeleteFileA(dir.file("s.sch")));
    EXPECT_EQ(ReadAll(dir.file("s.sch")).size(), 147u);
}

TEST(ScheduleFile, ReadOnlyFileIsNotOpenedAndNotCreated) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {});
    ASSERT_TRUE(platform::SetFileAttributesA(dir.file("s.sch"), platform::FILE_ATTRIBUTE_READONLY));
    TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_FALSE(file.HasFile());
    EXPECT_THROW(TScheduleObject(dir.file("s.sch"), TScheduleObject::fmCreate), EScheduleError);
}

// Damaged files: every truncation and a seeded set of byte changes. The reader
// must neither crash nor read outside the file (ASan watches), and whatever it
// lists must be readable without failure or give an empty text. Read in one
// call (ReadStation), each record gives the same.
void ReadEverything(const std::string& path, std::size_t fileSize) {
    TScheduleObject file(path, TScheduleObject::fmOpen);
    auto stations = ReadStationIndex(file);
    std::string text;
    for (auto& s : stations) {
        text = "stale";
        const bool read = file.SelectStation(s.Offset) && file.ReadStationText(text);
        if (read) {
            EXPECT_LE(text.size(), fileSize);
        } else {
            EXPECT_TRUE(text.empty() || text == "stale");
        }
        const std::string name = file.StationDisplayName();
        std::string_view atOnce = "stale";
        EXPECT_EQ(file.ReadStation(s.Offset, atOnce), read) << s.Offset;
        EXPECT_EQ(atOnce, read ? std::string_view(text) : std::string_view()) << s.Offset;
        if (read) {
            EXPECT_EQ(file.StationDisplayName(), name);
        }
    }
}

TEST(ScheduleFile, SurvivesEveryTruncation) {
    TempDir dir;
    WriteSchedule(dir.file("good.sch"), {{"A", "abc"}, {"BB", std::string(300, 'x')}, {"C", "z"}});
    const std::string good = ReadAll(dir.file("good.sch"));
    for (std::size_t n = 0; n < good.size(); ++n) {
        WriteAll(dir.file("cut.sch"), good.substr(0, n));
        ReadEverything(dir.file("cut.sch"), n);
    }
}

TEST(ScheduleFile, SurvivesRandomByteChanges) {
    TempDir dir;
    WriteSchedule(dir.file("good.sch"), {{"A", "abc"}, {"BB", std::string(300, 'x')}, {"C", "z"}});
    const std::string good = ReadAll(dir.file("good.sch"));
    std::mt19937 rng(20261208);
    for (int round = 0; round < 400; ++round) {
        std::string bad = good;
        for (int k = 0; k < 1 + round % 4; ++k)
            bad[rng() % bad.size()] = char(rng());
        // Aim at the fields that steer reads now and then.
        if (round % 5 == 0) std::memset(bad.data() + (rng() % 2 ? 0 : bad.size() - 4), 0xFF, 4);
        WriteAll(dir.file("bad.sch"), bad);
        ReadEverything(dir.file("bad.sch"), bad.size());
    }
}

TEST(ScheduleFile, DamagedIndexPairsWhatItCan) {
    TempDir dir;
    WriteSchedule(dir.file("s.sch"), {{"A", "1"}, {"B", "2"}});
    std::string bytes = ReadAll(dir.file("s.sch"));
    const std::size_t index = std::size_t(Int32At(bytes, 0));
    std::int32_t count = 5; // more stations than names and offsets
    std::memcpy(bytes.data() + index, &count, 4);
    WriteAll(dir.file("s.sch"), bytes);
    TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
    auto stations = ReadStationIndex(file);
    ASSERT_EQ(stations.size(), 2u);
    EXPECT_EQ(stations[1].Name, "B");

    std::int32_t negative = -7; // a record length below zero reads as nothing
    std::memcpy(bytes.data() + 24 + 101, &negative, 4);
    WriteAll(dir.file("t.sch"), bytes);
    TScheduleObject damaged(dir.file("t.sch"), TScheduleObject::fmOpen);
    std::string text = "stale";
    ASSERT_TRUE(damaged.SelectStation(24));
    EXPECT_FALSE(damaged.ReadStationText(text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(damaged.SelectStation(1 << 30));
}

} // namespace
