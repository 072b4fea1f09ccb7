// Archive detection, the end-record locator, the two walks and FileSpec.
#include "UnZipTestSupport.h"

#include <filesystem>

#include <QVariant>

#include "archive/FileSpecMatch.h"

using namespace archive;

namespace {

// Shows the selection state detection leaves behind.
struct ProbeUnZip : TUnZip {
    using TUnZip::directoryPosition;
    using TUnZip::headerState;
};

std::string ThreeFiles(const ZipBuildOptions& options = {}) {
    ZipTestWriter w;
    w.AddStored("a.txt", "alpha");
    w.AddStored("b.txt", "bravo");
    w.AddStored("c.txt", "charlie");
    return w.Build(options);
}

} // namespace

TEST_F(UnZipTest, MissingArchiveReportsFileNotFoundAndFiresNothingElse) {
    unzip.SetArchiveFile(tmp.file("nothing.zip"));
    EXPECT_EQ(unzip.ArcType(), atNA);
    EXPECT_EQ(unzip.ArchiveFile(), "");
    EXPECT_EQ(unzip.Extract(), 0);
    EXPECT_EQ(events, std::vector<std::string>{"Error 25192"});
    EXPECT_EQ(errors[0].file, "");
}

TEST_F(UnZipTest, ArchiveThatCannotBeOpenedAtExtractReportsOpeningError) {
    WriteAll(tmp.file("a.zip"), ThreeFiles());
    unzip.SetArchiveFile(tmp.file("a.zip"));
    std::remove(tmp.file("a.zip").c_str());
    EXPECT_EQ(unzip.Extract(), 0);
    EXPECT_EQ(events, std::vector<std::string>{"Error 25235"});
    EXPECT_EQ(errors[0].file, Bs(tmp.file("a.zip")));
}

TEST(ZipDetection, ClassifiesFilesAndFindsTheirStructures) {
    ZipTestWriter dd;
    dd.AddStored("a.txt", "alpha").dataDescriptor = true;
    struct Case {
        const char* what;
        std::string name, bytes;
        TArcType type;
        THeaderTypeState state;
    } cases[] = {
        {"plain", "a.zip", ThreeFiles(), atZip, {htLocal, htCentral, htEnding}},
        {"jar by extension", "a.JAR", ThreeFiles(), atJar, {htLocal, htCentral, htEnding}},
        {"no central directory",
         "a.zip",
         ThreeFiles(ZipBuildOptions().NoCentral()),
         atZip,
         {htLocal}},
        {"Zip64 end records",
         "a.zip",
         ThreeFiles(ZipBuildOptions().Zip64Records()),
         atZip,
         {htLocal, htCentral, htEnding, htLocator, htEnding64}},
        {"data in front",
         "a.bin",
         ThreeFiles(ZipBuildOptions().Prefix("not a zip header at all")),
         atZip,
         {htLocal, htCentral, htEnding}},
        {"spanning marker", "a.zip", "PK\x07\x08" + ThreeFiles(), atZipDS, {}},
        {"text", "a.txt", "just some text that is not an archive", atUnknown, {}},
        {"too short", "a.zip", "PK\x03\x04short", atUnknown, {}},
        {"data descriptor only",
         "a.zip",
         dd.Build(ZipBuildOptions().NoCentral()),
         atZip,
         {htLocal}},
    };
    for (const Case& c : cases) {
        TempDir tmp;
        WriteAll(tmp.file(c.name), c.bytes);
        ProbeUnZip unzip;
        unzip.SetArchiveFile(tmp.file(c.name));
        EXPECT_EQ(unzip.ArcType(), c.type) << c.what;
        EXPECT_EQ(unzip.headerState.Bits(), c.state.Bits()) << c.what;
        EXPECT_EQ(unzip.ArchiveFile(), Bs(tmp.file(c.name))) << c.what;
    }
}

TEST_F(UnZipTest, CentralDirectoryOrderWinsOverLocalOrder) {
    EXPECT_EQ(Extract(ThreeFiles(ZipBuildOptions().Order({2, 0, 1}))), 3);
    EXPECT_EQ(EndNames(),
              (std::vector<std::string>{OutPath("c.txt"), OutPath("a.txt"), OutPath("b.txt")}));
}

TEST_F(UnZipTest, TruncatedDownloadKeepsLeadingEntriesThatCarryTheirSizes) {
    ZipTestWriter w;
    w.AddStored("a.txt", "alpha");
    w.AddStored("b.txt", "bravo");
    w.AddStored("c.txt", "charlie").dataDescriptor = true;
    w.AddStored("d.txt", "delta");
    std::string whole = w.Build();
    EXPECT_EQ(Extract(whole.substr(0, whole.size() - 60)), 2);
    EXPECT_EQ(EndNames(), (std::vector<std::string>{OutPath("a.txt"), OutPath("b.txt")}));
    EXPECT_EQ(ReadAll(out + "b.txt"), "bravo");
    EXPECT_TRUE(errors.empty());
}

TEST_F(UnZipTest, MisplacedCentralDirectoryFallsBackToTheLocalHeaders) {
    std::string bytes = ThreeFiles();
    bytes[bytes.size() - 10] ^= 0x40; // the end record's central directory size
    ProbeUnZip probe;
    WriteAll(tmp.file("a.zip"), bytes);
    probe.SetArchiveFile(tmp.file("a.zip"));
    EXPECT_EQ(probe.headerState.Bits(), THeaderTypeState{htLocal}.Bits());
    EXPECT_EQ(Extract(bytes), 3);
    EXPECT_EQ(ReadAll(out + "c.txt"), "charlie");
}

TEST_F(UnZipTest, CorruptHeaderHandlerDecidesWhetherTheLocalWalkRuns) {
    const std::string bytes = ThreeFiles(ZipBuildOptions().NoCentral());
    for (bool cancel : {true, false}) {
        ends.clear();
        std::vector<std::uint8_t> flags;
        unzip.OnCorruptZipHeader = [&](QObject*, THeaderTypeState state, bool& c) {
            flags.push_back(state.Bits());
            EXPECT_TRUE(c);
            c = cancel;
        };
        EXPECT_EQ(Extract(bytes), cancel ? 0 : 3);
        EXPECT_EQ(flags, std::vector<std::uint8_t>{1u << htLocal});
        EXPECT_EQ(ends.size(), cancel ? 0u : 3u);
    }
}

TEST_F(UnZipTest, EntryWhoseOffsetHoldsNoLocalHeaderIsReportedAndSkipped) {
    ZipTestWriter w;
    w.AddStored("a.txt", "alpha");
    w.AddStored("b.txt", "bravo").centralOffset = 7;
    w.AddStored("c.txt", "charlie");
    EXPECT_EQ(Extract(w.Build()), 2);
    EXPECT_EQ(Codes(), std::vector<int>{25114});
    EXPECT_EQ(errors[0].file, "b.txt");
    EXPECT_EQ(EndNames(), (std::vector<std::string>{OutPath("a.txt"), OutPath("c.txt")}));
}

TEST_F(UnZipTest, Zip64FieldsGiveSizesAndOffsets) {
    ZipTestWriter w;
    w.AddStored("first.txt", "first");
    ZipTestEntry& e = w.AddStored("big.txt", std::string(70000, 'z'));
    e.zip64 = true;
    e.zip64Offset = true;
    EXPECT_EQ(Extract(w.Build(ZipBuildOptions().Zip64Records())), 2);
    EXPECT_EQ(ReadAll(out + "big.txt"), std::string(70000, 'z'));
    EXPECT_EQ(ends[1], std::make_pair(OutPath("big.txt"), true));
}

TEST_F(UnZipTest, EndRecordSignatureInsideTheCommentIsNotTakenForTheRecord) {
    // The decoy would point the walk at nothing; the real record's comment
    // reaches exactly the end of the file.
    std::string decoy = "PK\x05\x06" + std::string(18, '\x01');
    ZipTestWriter w;
    w.AddStored("a.txt", "alpha").dataDescriptor = true; // the local walk would stop here
    w.AddStored("b.txt", "bravo");
    EXPECT_EQ(Extract(w.Build(ZipBuildOptions().Comment("see " + decoy + " here"))), 2);
    EXPECT_EQ(ReadAll(out + "a.txt"), "alpha");
}

TEST_F(UnZipTest, OverlappingEntriesAreRefused) {
    ZipTestWriter w;
    w.AddStored("kernel.txt", std::string(1000, 'k'));
    ZipTestEntry twin;
    twin.name = "twin.txt";
    twin.data = std::string(1000, 'k');
    twin.sharesDataOf = 0;
    w.Add(twin);
    w.AddStored("own.txt", "separate");
    EXPECT_EQ(Extract(w.Build()), 1);
    EXPECT_EQ(Codes(), (std::vector<int>{25114, 25114}));
    EXPECT_EQ(errors[0].file, "kernel.txt");
    EXPECT_EQ(errors[1].file, "twin.txt");
    EXPECT_FALSE(std::filesystem::exists(out + "kernel.txt"));
    EXPECT_EQ(ReadAll(out + "own.txt"), "separate");
}

TEST_F(UnZipTest, NamesAreCutAt255Bytes) {
    ZipTestWriter w;
    w.AddStored(std::string(300, 'n'), "long");
    EXPECT_EQ(Extract(w.Build()), 1);
    EXPECT_EQ(ReadAll(out + std::string(255, 'n')), "long");
}

TEST(FileSpecMatch, MasksSelectNames) {
    struct Case {
        std::string mask, name;
        bool recurse, selected;
    } cases[] = {
        {"*.*", "a.txt", true, true},
        {"*.*", "README", true, true},            // the "." retry
        {"*.*", Utf8Folder + "\\", true, true},   // folder entry: empty file name
        {"*.*", Utf8Folder + "\\", false, false}, // its folder part differs
        {"*.txt", Utf8Folder + "\\x.txt", true, true},
        {"*.txt", Utf8Folder + "\\x.txt", false, false},
        {"*.txt", "x.TXT", false, true},
        {Utf8Folder + "\\*.txt", Utf8Folder + "\\x.txt", false, true},
        {Utf8Folder + "/*.txt", Utf8Folder + "\\x.txt", true, true},
        {"other\\*.txt", Utf8Folder + "\\x.txt", true, false},
        {"?.txt", "中.txt", true, true}, // "?" is one character
        {"??.txt", "中.txt", true, false},
        {"a*?c", "ac", true, true}, // "?" after "*" is dropped
        {"A.TXT", "a.txt", true, true},
        {"x.", "x", true, true},
        {"*.doc", "a.txt", true, false},
        {"", "a.txt", true, false},
    };
    for (const Case& c : cases) {
        TStrings masks{c.mask};
        EXPECT_EQ(MatchesFileSpec(c.name, masks, c.recurse), c.selected)
            << c.mask << " / " << c.name << " / " << c.recurse;
    }
    TStrings empty;
    EXPECT_FALSE(MatchesFileSpec("a.txt", empty, true));
}

TEST(FileSpecMatch, OnlyAMaskThatMatchedInTheRetryIsWrittenBack) {
    TStrings masks{"dir\\*", "readme"};
    EXPECT_TRUE(MatchesFileSpec("README.", masks, true));
    EXPECT_EQ(masks, (TStrings{"dir\\*", "readme."}));
    EXPECT_TRUE(MatchesFileSpec("dir\\x.txt", masks, true)); // after misses, still selects
}

TEST(UnZipProperties, StartWithTheirDefaultsAndArePublished) {
    TUnZip u;
    EXPECT_EQ(u.ArchiveFile(), "");
    EXPECT_EQ(u.ArcType(), atNA);
    EXPECT_EQ(u.CpuType(), cptAuto);
    EXPECT_TRUE(u.RecurseDirs() && u.TranslateOemChar() && u.RestoreFileAttr() &&
                u.UseStoredDirs());
    EXPECT_FALSE(u.ConfirmOverwrites() || u.CreateStoredDirs());
    EXPECT_EQ(u.DateAttribute(), daFileDate);
    EXPECT_EQ(u.ExtractDir(), "");
    EXPECT_EQ(u.FileSpec().Count(), 0);
    EXPECT_EQ(u.OverwriteMode(), omOverwrite);
    EXPECT_EQ(u.PasswordAttempts(), 3);
    EXPECT_EQ(u.Passwords().Count(), 0);
    u.SetZipCmntBufSize(10);
    EXPECT_EQ(u.ZipCmntBufSize(), 2000);
    u.SetZipCmntBufSize(100000);
    EXPECT_EQ(u.ZipCmntBufSize(), 32767);
    EXPECT_TRUE(u.setProperty("RecurseDirs", false));
    EXPECT_FALSE(u.RecurseDirs());
    EXPECT_EQ(u.property("PasswordAttempts").toInt(), 3);
}
