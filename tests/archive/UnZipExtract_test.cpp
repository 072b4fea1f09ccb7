// The extraction run over real archives: paths, folders, methods, dates and
// attributes.
#include "UnZipTestSupport.h"

#include <filesystem>
#include <sys/stat.h>

#include "platform/Clock.h"

using namespace archive;
namespace fs = std::filesystem;

namespace {

std::string Corpus(const std::string& name) {
    return std::string(VIMBREL_CORPUS_DIR) + "/" + name;
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

} // namespace

TEST_F(UnZipTest, InfoZipArchiveWithGbkNamesFillsTheStationFolder) {
    // The names on disk are GBK bytes, as on the update server's machine.
    const std::string src = tmp.file("src/");
    fs::create_directories(src + GbkFolder);
    for (const char* s : {"a", "b", "c"})
        WriteAll(src + GbkFolder + "/" + s + ".txt", s);
    const std::string cmd = "cd " + src + " && zip -0 -q ../a.zip " + GbkFolder + " " + GbkFolder +
                            "/a.txt " + GbkFolder + "/b.txt " + GbkFolder + "/c.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    EXPECT_EQ(ExtractFile(tmp.file("a.zip")), 3);
    const std::string folder = OutPath(Utf8Folder + "/");
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{folder, true},
                                                               {folder + "a.txt", true},
                                                               {folder + "b.txt", true},
                                                               {folder + "c.txt", true}}));
    EXPECT_EQ(ReadAll(out + Utf8Folder + "/b.txt"), "b");
    EXPECT_EQ(events.front(), "Activate");
    EXPECT_EQ(events.back(), "Deactivate");
    EXPECT_TRUE(errors.empty());
}

TEST_F(UnZipTest, GbkCharacterWhoseSecondByteIsBackslashStaysOneCharacter) {
    ZipTestWriter w;
    w.AddStored(GbkFolder + "/" + GbkWith5C + ".txt", "x");
    EXPECT_EQ(Extract(w.Build()), 1);
    EXPECT_EQ(ReadAll(out + Utf8Folder + "/" + Utf8With5C + ".txt"), "x");
}

TEST_F(UnZipTest, UntranslatedNamesKeepTheirBytes) {
    ZipTestWriter w;
    w.AddStored("\xB5\xA5.txt", "x");
    unzip.SetTranslateOemChar(false);
    EXPECT_EQ(Extract(w.Build()), 1);
    EXPECT_EQ(ReadAll(out + "\xB5\xA5.txt"), "x");
}

TEST_F(UnZipTest, ExtractingTwiceReplacesTheFilesSilently) {
    ZipTestWriter first, second;
    first.AddStored("a.txt", "the first, longer content");
    second.AddStored("a.txt", "second");
    EXPECT_EQ(Extract(first.Build()), 1);
    EXPECT_EQ(Extract(second.Build()), 1);
    EXPECT_EQ(ReadAll(out + "a.txt"), "second");
    EXPECT_TRUE(errors.empty());
}

TEST_F(UnZipTest, UndecodedMethodsLeaveAnEmptyFileAndTheRunGoesOn) {
    struct Case {
        std::uint16_t method;
        std::uint32_t crc;
        bool pass;
    } cases[] = {{12, 0x12345678, false},
                 {12, 0, true},
                 {12, 0xFFFFFFFF, true},
                 {7, 0x12345678, false},
                 {14, 1, false}};
    for (const Case& c : cases) {
        ends.clear();
        errors.clear();
        ZipTestWriter w;
        ZipTestEntry e;
        e.name = "packed.bin";
        e.data = "\x01\x02\x03 compressed somehow";
        e.method = c.method;
        e.crc = c.crc;
        w.Add(e);
        w.AddStored("next.txt", "next");
        EXPECT_EQ(Extract(w.Build()), 2);
        EXPECT_EQ(Codes(), std::vector<int>{25326}) << c.method;
        EXPECT_EQ(errors[0].file, "packed.bin");
        EXPECT_EQ(ReadAll(out + "packed.bin"), "");
        EXPECT_EQ(ends[0].second, c.pass) << c.method << " " << c.crc;
        EXPECT_EQ(ends[1], std::make_pair(OutPath("next.txt"), true));
    }
}

TEST_F(UnZipTest, CorruptStoredDataFailsItsCheckAndKeepsThePartialFile) {
    ZipTestWriter w;
    w.AddStored("bad.txt", "not what the CRC says").crc = 0xDEADBEEF;
    w.AddStored("good.txt", "fine");
    unzip.OnEnd = nullptr;
    EXPECT_EQ(Extract(w.Build()), 2);
    EXPECT_EQ(Codes(), std::vector<int>{25151});
    EXPECT_EQ(errors[0].file, OutPath("bad.txt"));
    EXPECT_EQ(ReadAll(out + "bad.txt"), "not what the CRC says");
}

TEST_F(UnZipTest, CorpusStoredEntries) {
    unzip.SetCreateStoredDirs(true);
    EXPECT_EQ(ExtractFile(Corpus("files_and_dirs.zip")), 1);
    EXPECT_TRUE(fs::is_directory(out + "dir1") && fs::is_directory(out + "dir2"));
    EXPECT_EQ(ReadAll(out + "file0.txt").size(), 18u);

    ends.clear();
    EXPECT_EQ(ExtractFile(Corpus("HWREDUCE.ZIP"), "TESTDAT2.TXT"), 1);
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{OutPath("TESTDAT2.TXT"), true}}));
    EXPECT_EQ(ReadAll(out + "TESTDAT2.TXT").size(), 469u);

    ends.clear();
    unzip.FileSpec() = TStrings{"empty.file", "first.txt", "notempty\\*"};
    unzip.SetArchiveFile(Corpus("deflate64.zip"));
    EXPECT_EQ(unzip.Extract(), 3);
    EXPECT_EQ(ends.size(), 4u); // with the folder entry
    for (const auto& [name, pass] : ends)
        EXPECT_TRUE(pass) << name;
    EXPECT_EQ(ReadAll(out + "notempty/second.txt").size(), 34u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(UnZipTest, FolderEntriesAreCreatedOnlyWhenAsked) {
    ZipTestWriter w;
    w.AddDirectory("empty/");
    ZipTestEntry zero; // a writer that leaves the attributes 0
    zero.name = "plain/";
    zero.externalAttributes = 0;
    w.Add(zero);
    for (bool create : {false, true}) {
        ends.clear();
        unzip.SetCreateStoredDirs(create);
        EXPECT_EQ(Extract(w.Build()), 0);
        EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{OutPath("empty/"), true},
                                                                   {OutPath("plain/"), true}}));
        EXPECT_EQ(fs::is_directory(out + "empty"), create);
        EXPECT_EQ(fs::is_directory(out + "plain"), create);
    }
}

TEST_F(UnZipTest, WithoutStoredDirsEveryFileLandsInTheTargetFolder) {
    ZipTestWriter w;
    w.AddStored("deep/er/a.txt", "a");
    w.AddStored("../b.txt", "b");
    unzip.SetUseStoredDirs(false);
    EXPECT_EQ(Extract(w.Build()), 2);
    EXPECT_EQ(ReadAll(out + "a.txt"), "a");
    EXPECT_EQ(ReadAll(out + "b.txt"), "b");
}

TEST_F(UnZipTest, ExtractDirIsKeptWithBackslashesAndATrailingOne) {
    unzip.SetExtractDir("/tmp/App");
    EXPECT_EQ(unzip.ExtractDir(), "\\tmp\\App\\");
    unzip.SetExtractDir("C:/App/");
    EXPECT_EQ(unzip.ExtractDir(), "C:\\App\\");
    unzip.SetExtractDir("");
    EXPECT_EQ(unzip.ExtractDir(), "");
    WriteAll(tmp.file("a.zip"), ZipTestWriter().Build());
    unzip.SetArchiveFile(tmp.file("a.zip"));
    unzip.SetExtractDir("");
    EXPECT_EQ(unzip.ExtractDir(), Bs(tmp.path()));
}

TEST_F(UnZipTest, FileDatesFollowDateAttribute) {
    ZipTestWriter w;
    w.AddStored("old.txt", "o").dosDateTime = DosDateTime(2001, 2, 3, 4, 5, 6);
    w.AddStored("new.txt", "n").dosDateTime = DosDateTime(2020, 7, 8, 9, 10, 12);
    const std::time_t oldTime = platform::DosDateTimeToUnix(DosDateTime(2001, 2, 3, 4, 5, 6));
    const std::time_t newTime = platform::DosDateTimeToUnix(DosDateTime(2020, 7, 8, 9, 10, 12));
    const std::string bytes = w.Build();

    Extract(bytes);
    EXPECT_EQ(StatOf(out + "old.txt").st_mtime, oldTime);
    unzip.SetDateAttribute(daMaxFileDate);
    Extract(bytes);
    EXPECT_EQ(StatOf(out + "old.txt").st_mtime, newTime);
    unzip.SetDateAttribute(daSysDate);
    const std::time_t before = std::time(nullptr);
    Extract(bytes);
    EXPECT_GE(StatOf(out + "old.txt").st_mtime, before - 2); // DOS time has 2-second steps
}

TEST_F(UnZipTest, OnlyTheReadOnlyBitIsApplied) {
    ZipTestWriter w;
    w.AddStored("ro.txt", "r").externalAttributes = 0x21;
    // Unix mode 104755 (set-user-ID, executable) in the upper 16 bits.
    w.AddStored("suid", "s").externalAttributes = 0x89ED0000u;
    w.AddStored("hidden.txt", "h").externalAttributes = 0x06; // hidden, system
    EXPECT_EQ(Extract(w.Build()), 3);
    EXPECT_EQ(StatOf(out + "ro.txt").st_mode & 0222, 0u);
    EXPECT_EQ(StatOf(out + "suid").st_mode & (S_ISUID | S_ISGID | 0111), 0u);
    EXPECT_NE(StatOf(out + "hidden.txt").st_mode & S_IWUSR, 0u);

    unzip.SetRestoreFileAttr(false);
    fs::remove_all(out);
    Extract(w.Build());
    EXPECT_NE(StatOf(out + "ro.txt").st_mode & S_IWUSR, 0u);
}

TEST_F(UnZipTest, NonArchiveYieldsNoEntries) {
    EXPECT_EQ(Extract("this is a plain text file and no archive at all"), 0);
    EXPECT_TRUE(ends.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"Activate", "Deactivate"}));
}
