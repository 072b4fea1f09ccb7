#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/CpuFeatures.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/TempDir.h"

using namespace platform;

namespace {

TEST(Files, ExclusiveHoldBlocksOpenCreateAndDelete) {
    TempDir dir;
    WriteAll(dir.file("f"), "data");
    HANDLE held =
        CreateFileA(dir.file("f"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(dir.file("f"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CreateFileA(dir.file("f"), GENERIC_WRITE, FILE_SHARE_NONE, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(dir.file("f")));
    EXPECT_EQ(ReadAll(dir.file("f")), "data"); // the failed create cut nothing
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileA(dir.file("f")));
    EXPECT_FALSE(FileExists(dir.file("f")));
}

TEST(Files, SharedReadersCoexistButKeepWritersOut) {
    TempDir dir;
    WriteAll(dir.file("f"), "x");
    HANDLE a = CreateFileA(dir.file("f"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE b = CreateFileA(dir.file("f"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(dir.file("f"), GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    CloseHandle(a);
    CloseHandle(b);
}

TEST(Files, ReadOnlyBitHoldsAlsoForRoot) {
    TempDir dir;
    WriteAll(dir.file("f"), "x");
    ASSERT_TRUE(SetFileAttributesA(dir.file("f"), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesA(dir.file("f")) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CreateFileA(dir.file("f"), GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(dir.file("f")));
    ASSERT_TRUE(SetFileAttributesA(dir.file("f"), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(DeleteFileA(dir.file("f")));
}

TEST(Files, ListingGivesEveryEntryWithAttributes) {
    TempDir dir;
    WriteAll(dir.file("a.txt"), "1");
    WriteAll(dir.file(".h.txt"), "2");
    std::filesystem::create_directory(dir.file("sub"));
    std::set<std::string> seen;
    WIN32_FIND_DATAA e;
    HFIND f = FindFirstFileA(dir.path() + "*.*", &e);
    ASSERT_NE(f, nullptr);
    do {
        seen.insert(e.cFileName);
        const bool folder = e.cFileName == "sub" || e.cFileName == "." || e.cFileName == "..";
        EXPECT_EQ(bool(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY), folder) << e.cFileName;
        EXPECT_EQ(bool(e.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN), e.cFileName == ".h.txt");
        if (e.cFileName == "a.txt") {
            EXPECT_EQ(e.nFileSize, 1);
        }
    } while (FindNextFileA(f, &e));
    FindClose(f);
    EXPECT_EQ(seen, (std::set<std::string>{".", "..", "a.txt", ".h.txt", "sub"}));
    EXPECT_EQ(FindFirstFileA(dir.file("missing/") + "*.*", &e), nullptr);
}

// Names come sorted as on the Windows default file system, whatever order the
// file system here keeps them in: UTF-16 code units compared after
// upper-casing, so "_" follows the letters, "é" and "Ê" sort as "É" and "Ê",
// and a character beyond U+FFFF (a surrogate pair) comes before U+FF21.
TEST(Files, ListingSortsNamesAsTheWindowsFileSystemDoes) {
    const std::vector<std::string> sorted = {".",
                                             "..",
                                             "A.txt",
                                             "b.txt",
                                             "c.txt",
                                             "D",
                                             "_.txt",
                                             "é.txt",
                                             "Ê.txt",
                                             "中.txt",
                                             "\xF0\x9F\x98\x80.txt",
                                             "Ａ.txt"};
    for (bool namesOnly : {false, true}) {
        TempDir dir;
        for (std::size_t i = sorted.size(); i-- > 2;) // made in another order
            if (sorted[i] == "D")
                std::filesystem::create_directory(dir.file("D"));
            else
                WriteAll(dir.file(sorted[i]), "x");
        std::vector<std::string> listed;
        WIN32_FIND_DATAA e;
        HFIND f = namesOnly ? FindFirstFileNamesA(dir.path() + "*.*", &e)
                            : FindFirstFileA(dir.path() + "*.*", &e);
        ASSERT_NE(f, nullptr);
        do
            listed.push_back(e.cFileName);
        while (FindNextFileA(f, &e));
        FindClose(f);
        EXPECT_EQ(listed, sorted) << "names only: " << namesOnly;
    }
}

TEST(Files, NamesOnlyListingGivesKindsFollowsLinksAndSkipsDanglingOnes) {
    TempDir dir;
    WriteAll(dir.file("a.txt"), "12345");
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink(dir.file("a.txt"), dir.file("to-file.txt"));
    std::filesystem::create_symlink(dir.file("sub"), dir.file("to-folder.txt"));
    std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling.txt"));
    std::map<std::string, WIN32_FIND_DATAA> seen;
    WIN32_FIND_DATAA e;
    HFIND f = FindFirstFileNamesA(dir.path() + "*.txt", &e);
    ASSERT_NE(f, nullptr);
    do
        seen[e.cFileName] = e;
    while (FindNextFileA(f, &e));
    FindClose(f);
    ASSERT_EQ(seen.size(), 3u); // no dangling link, no sub (mask)
    EXPECT_EQ(seen["a.txt"].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(seen["to-file.txt"].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(seen["to-folder.txt"].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Files, CreateAlwaysCutsAnExistingFileAndCreatesAMissingOne) {
    TempDir dir;
    WriteAll(dir.file("a"), "second");
    for (const char* name : {"a", "new"}) {
        HANDLE h = CreateFileA(dir.file(name), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE,
                               CREATE_ALWAYS);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
        DWORD done = 0;
        ASSERT_TRUE(WriteFile(h, "S", 1, &done));
        CloseHandle(h);
        EXPECT_EQ(ReadAll(dir.file(name)), "S") << name;
    }
}

TEST(Files, MasksMatchLikeFolderListings) {
    struct {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"a.txt", "*.*", true},
        {"noext", "*.*", true},
        {"A.TXT", "*.txt", true},
        {"a.txt.bak", "*.txt", false},
        {"ab", "a?", true},
        {"a", "a?", false},
        {"abc", "a*c", true},
        {"abd", "a*c", false},
        {"x", "*", true},
        {"\xE8\x8A\x82.txt", "?.txt", true}, // "?" is one character, not one byte
        {"a*b", "a*", true},
        {"noext", "noext.*", true},
        {"noext", "*.", true},
        {"x.txt", "*.", false},
    };
    for (auto& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " " << c.mask;
}

TEST(Files, ExpandFileNameResolvesDots) {
    EXPECT_EQ(ExpandFileName("/a/b/../c/./d"), "/a/c/d");
    EXPECT_EQ(ExpandFileName("/a/b/"), "/a/b/");
    EXPECT_EQ(ExpandFileName("/.."), "/");
    EXPECT_EQ(NativePath("a\\b\\c"), "a/b/c");
}

TEST(Clock, DosDateTimesRoundTrip) {
    // 2005-03-14 08:30:10
    std::uint32_t dos = (25u << 9 | 3u << 5 | 14u) << 16 | (8u << 11 | 30u << 5 | 5u);
    double dt = DosDateTimeToDateTime(dos);
    EXPECT_EQ(DateTimeToDosDateTime(dt), dos);
    EXPECT_NEAR(dt, 38425.0 + (8 * 3600 + 30 * 60 + 10) / 86400.0, 1e-9);
    // 0 stands for 1980-01-01 00:01:00.
    EXPECT_NEAR(DosDateTimeToDateTime(0), 29221.0 + 60.0 / 86400.0, 1e-9);
    double now = Now();
    EXPECT_GT(now, 46000.0); // after 2025
    EXPECT_NEAR(DosDateTimeToDateTime(NowDosDateTime()), now, 3.0 / 86400.0);
}

TEST(CodePage, GbkRoundTripsAndKeeps5CInsideCharacters) {
    // "表" is B1 ED; "曹" is B2 DC; a character with 0x5C second byte: "誠"? use 0x815C.
    const std::string withBackslashByte = "\x81\x5C";
    std::string utf8 = OemToAnsi(withBackslashByte);
    EXPECT_EQ(utf8.find('\\'), std::string::npos);
    EXPECT_EQ(NativeToGbk(utf8), withBackslashByte);
    bool ok = true;
    EXPECT_EQ(QStringToGbk(QString::fromUtf8("节目单"), &ok), "\xBD\xDA\xC4\xBF\xB5\xA5");
    EXPECT_TRUE(ok);
    QStringToGbk(QString::fromUtf8("\xF0\x9F\x98\x80"), &ok);
    EXPECT_FALSE(ok);
    // A failed conversion leaves later ones whole and error-free.
    EXPECT_EQ(QStringToGbk(QString::fromUtf8("节目单"), &ok), "\xBD\xDA\xC4\xBF\xB5\xA5");
    EXPECT_TRUE(ok);
    EXPECT_EQ(QStringToGbk(QString::fromUtf8("节目"), &ok), "\xBD\xDA\xC4\xBF");
    EXPECT_EQ(GbkToQString("\x80"), QString(QChar(0x20AC))); // the euro sign
    EXPECT_EQ(OemToAnsi("plain/ascii"), "plain/ascii");
}

// The table gives GbkToUtf8's bytes for every pair of bytes, alone and among
// others, and for texts it must leave to the decoder: a cut character, bytes
// that are no GBK, a zero byte.
TEST(CodePage, TableConvertsAsTheDecoderDoes) {
    GbkToUtf8Table table;
    auto expectSame = [&](const std::string& gbk) {
        std::string out = "x", expected = "x";
        table.Append(gbk, out);
        expected += GbkToUtf8(gbk);
        ASSERT_EQ(out, expected) << testing::PrintToString(gbk);
    };
    for (int first = 0; first < 256; ++first)
        for (int second = 0; second < 256; ++second)
            expectSame({'a', char(first), char(second), 'b'});
    for (const char* gbk : {"", "\xBD\xDA\xC4\xBF", "08:00 \xD0\xC2\xCE\xC5", "\xBD\xDA\xC4",
                            "\x80", "a\xFF", "\x81\x7F\xB1\xED", "\x81\x30\x81\x30", "\xAA\xA1"})
        expectSame(gbk);
    expectSame(std::string("a\0b", 3));
}

// VIMBREL_CPU caps the features the kernels may use and takes none away
// below its level.
TEST(CpuFeatures, TheSwitchCapsTheLevel) {
    const TCpuFeatures all = CpuFeaturesUnder(nullptr);
    const TCpuFeatures avx2 = CpuFeaturesUnder("avx2");
    const TCpuFeatures plain = CpuFeaturesUnder("plain");
    EXPECT_EQ(all.Level, TCpuLevel::Avx512);
    EXPECT_EQ(CpuFeaturesUnder("avx512").WideClmul, all.WideClmul);
    EXPECT_EQ(CpuFeaturesUnder("no such level").WideClmul, all.WideClmul);
    EXPECT_EQ(avx2.Level, TCpuLevel::Avx2);
    EXPECT_EQ(avx2.Clmul, all.Clmul);
    EXPECT_EQ(avx2.Avx2, all.Avx2);
    EXPECT_FALSE(avx2.WideClmul);
    EXPECT_EQ(plain.Level, TCpuLevel::Plain);
    EXPECT_FALSE(plain.Avx2);
    EXPECT_FALSE(plain.Clmul);
    EXPECT_FALSE(plain.WideClmul);
    EXPECT_TRUE(!all.WideClmul || all.Clmul); // a CPU with the wide form has the narrow one
}

TEST(Shell, DeletesATreeAndReportsAMissingOne) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("t/a/b"));
    WriteAll(dir.file("t/a/b/f"), "x");
    WriteAll(dir.file("keep"), "k");
    std::filesystem::create_symlink(dir.file("keep"), dir.file("t/link"));
    std::string from = dir.file("t") + std::string(2, '\0');
    SHFILEOPSTRUCTA op;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    EXPECT_EQ(SHFileOperationA(&op), 0);
    EXPECT_FALSE(DirectoryExists(dir.file("t")));
    EXPECT_EQ(ReadAll(dir.file("keep")), "k"); // a link's target is not followed
    EXPECT_NE(SHFileOperationA(&op), 0);
}

} // namespace
