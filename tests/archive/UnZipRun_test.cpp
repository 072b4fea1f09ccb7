// The run's events: the begin step with its overwrite rules, progress,
// cancellation, re-entry, handler exceptions and a full disk.
#include "UnZipTestSupport.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace archive;
namespace fs = std::filesystem;

namespace {

std::string Abc() {
    ZipTestWriter w;
    w.AddStored("a.txt", "alpha");
    w.AddDirectory("d/");
    w.AddStored("b.txt", "bravo");
    w.AddStored("c.txt", "charlie");
    return w.Build();
}

} // namespace

TEST_F(UnZipTest, OnBeginSeesFilesOnlyAndCanSkipThem) {
    std::vector<std::pair<std::string, int>> begun;
    unzip.OnBegin = [&](QObject*, const std::string& name, int count, bool& extract) {
        begun.emplace_back(name, count);
        extract = name != OutPath("b.txt");
    };
    EXPECT_EQ(Extract(Abc()), 2);
    EXPECT_EQ(begun, (std::vector<std::pair<std::string, int>>{
                         {OutPath("a.txt"), 1}, {OutPath("b.txt"), 2}, {OutPath("c.txt"), 2}}));
    EXPECT_EQ(EndNames(),
              (std::vector<std::string>{OutPath("a.txt"), OutPath("d/"), OutPath("c.txt")}));
    EXPECT_FALSE(fs::exists(out + "b.txt"));
}

TEST_F(UnZipTest, OnRenameFileMovesTheOutput) {
    unzip.OnBegin = [](QObject*, const std::string&, int, bool&) {};
    unzip.OnRenameFile = [&](QObject*, const std::string& name, std::string& newName) {
        EXPECT_EQ(newName, name);
        if (name == OutPath("a.txt")) newName = tmp.file("elsewhere/renamed.txt");
    };
    EXPECT_EQ(Extract(Abc()), 3);
    EXPECT_EQ(ReadAll(tmp.file("elsewhere/renamed.txt")), "alpha");
    EXPECT_EQ(ends[0], std::make_pair(Bs(tmp.file("elsewhere/renamed.txt")), true));
}

TEST_F(UnZipTest, ConfirmedOverwritesAskUntilTheNameIsFree) {
    fs::create_directories(out);
    for (const char* f : {"a.txt", "a2.txt", "b.txt"})
        WriteAll(out + f, "old");
    std::vector<std::string> asked;
    unzip.SetConfirmOverwrites(true);
    unzip.SetOverwriteMode(omSkip); // the run resets it for the confirmation
    unzip.OnFileExists = [&](QObject*, const std::string& name, std::string& newName,
                             TOverwriteMode& mode) {
        asked.push_back(name);
        EXPECT_EQ(mode, omOverwrite);
        if (name == OutPath("a.txt")) newName = out + "a2.txt"; // taken too: asked again
        if (name == OutPath("a2.txt")) newName = out + "a3.txt";
        if (name == OutPath("b.txt")) mode = omSkip;
    };
    EXPECT_EQ(Extract(Abc()), 2);
    EXPECT_EQ(asked,
              (std::vector<std::string>{OutPath("a.txt"), OutPath("a2.txt"), OutPath("b.txt")}));
    EXPECT_EQ(ReadAll(out + "a.txt"), "old");
    EXPECT_EQ(ReadAll(out + "a3.txt"), "alpha");
    EXPECT_EQ(ReadAll(out + "b.txt"), "old");
    EXPECT_EQ(ReadAll(out + "c.txt"), "charlie");
}

TEST_F(UnZipTest, ConfirmedOverwriteOfAReadOnlyFileMakesItWritable) {
    fs::create_directories(out);
    WriteAll(out + "a.txt", "old");
    fs::permissions(out + "a.txt", fs::perms::owner_read);
    unzip.SetConfirmOverwrites(true);
    unzip.OnFileExists = [](QObject*, const std::string&, std::string&, TOverwriteMode&) {};
    EXPECT_EQ(Extract(Abc()), 3);
    EXPECT_EQ(ReadAll(out + "a.txt"), "alpha");
}

TEST_F(UnZipTest, ConfirmedOverwritesWithoutHandlerSkipAndSaySo) {
    fs::create_directories(out);
    WriteAll(out + "a.txt", "old");
    unzip.SetConfirmOverwrites(true);
    EXPECT_EQ(Extract(Abc()), 2);
    EXPECT_EQ(Codes(), std::vector<int>{25270});
    EXPECT_EQ(errors[0].extended, "OnFileExists");
    EXPECT_EQ(ReadAll(out + "a.txt"), "old");
    ZipTestWriter w; // the last entry's answer stays in the property
    w.AddStored("a.txt", "alpha");
    Extract(w.Build());
    EXPECT_EQ(unzip.OverwriteMode(), omSkip);
}

TEST_F(UnZipTest, SkipModeWithoutConfirmationSkipsEveryFile) {
    unzip.SetOverwriteMode(omSkip);
    EXPECT_EQ(Extract(Abc()), 0);
    EXPECT_EQ(EndNames(), std::vector<std::string>{OutPath("d/")});
    EXPECT_FALSE(fs::exists(out + "a.txt"));
}

TEST_F(UnZipTest, ProgressIsRoundedPerChunkAndLetsEventsRun) {
    ZipTestWriter w;
    w.AddStored("big.bin", std::string(70000, 'b'));
    w.AddStored("small.txt", std::string(30000, 's'));
    std::vector<std::pair<int, int>> steps;
    unzip.OnProgress = [&](QObject*, std::uint8_t file, std::uint8_t all) {
        steps.emplace_back(file, all);
    };
    bool timerRan = false, ranBeforeFirstEnd = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    unzip.OnEnd = [&](QObject*, const std::string&, bool) {
        if (!ranBeforeFirstEnd) ranBeforeFirstEnd = timerRan;
    };
    EXPECT_EQ(Extract(w.Build()), 2);
    EXPECT_TRUE(ranBeforeFirstEnd);
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{47, 33}, {94, 66}, {100, 70}, {100, 100}}));
}

TEST_F(UnZipTest, NestedExtractDoesNothing) {
    TUnZip other;
    int nested = -1, nestedOther = -1;
    unzip.OnEnd = [&](QObject*, const std::string&, bool) {
        ends.emplace_back("", true);
        nested = unzip.Extract();
        other.SetArchiveFile(tmp.file("a.zip"));
        other.FileSpec().Add("*.*");
        nestedOther = other.Extract();
    };
    EXPECT_EQ(Extract(Abc()), 3);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(nestedOther, 0);
    EXPECT_EQ(ends.size(), 4u);
}

TEST_F(UnZipTest, CancellingStopsTheRunAndMarksLaterReports) {
    unzip.OnEnd = nullptr;
    unzip.OnProgress = [&](QObject*, std::uint8_t, std::uint8_t) { unzip.SetCancel(true); };
    EXPECT_EQ(Extract(Abc()), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"Activate", "Error 25443", "Deactivate"}));
    EXPECT_FALSE(fs::exists(out + "b.txt"));
}

// A run stopped in a progress step, by a cancel or a handler's exception,
// leaves the file with just the chunks stepped, however the copy reads ahead.
TEST_F(UnZipTest, StopInAProgressStepLeavesTheChunksStepped) {
    ZipTestWriter w;
    w.AddStored("big.bin", std::string(100000, 'b'));
    const std::string zip = w.Build();
    for (bool throws : {false, true}) {
        int steps = 0;
        unzip.OnProgress = [&](QObject*, std::uint8_t, std::uint8_t) {
            if (++steps < 2) return;
            if (throws) throw std::runtime_error("handler failed");
            unzip.SetCancel(true);
        };
        Extract(zip);
        EXPECT_EQ(steps, 2) << throws;
        EXPECT_EQ(fs::file_size(out + "big.bin"), 65536u) << throws;
    }
}

TEST_F(UnZipTest, HandlerExceptionsEndOnlyTheirEntry) {
    unzip.OnEnd = [&](QObject*, const std::string& name, bool pass) {
        ends.emplace_back(name, pass);
        throw std::runtime_error("handler failed");
    };
    unzip.OnDeactivate = [](QObject*) { throw 1; };
    EXPECT_EQ(Extract(Abc()), 3);
    EXPECT_EQ(ends.size(), 4u);
}

TEST_F(UnZipTest, RunEventsFireOnceAndCpuTypeIsReset) {
    std::vector<float> elapsed;
    unzip.OnElapsedTime = [&](QObject*, float seconds) { elapsed.push_back(seconds); };
    unzip.SetCpuType(cpt80486);
    EXPECT_EQ(Extract(Abc()), 3);
    ASSERT_EQ(elapsed.size(), 1u);
    EXPECT_GE(elapsed[0], 0.0f);
    EXPECT_EQ(std::count(events.begin(), events.end(), "Activate"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "Deactivate"), 1);
    EXPECT_EQ(unzip.CpuType(), cptAuto);
}

TEST_F(UnZipTest, FullDiskEndsTheRun) {
    ZipTestWriter w;
    w.AddStored("big.bin", std::string(100000, 'b'));
    w.AddStored("small.txt", "never");
    WriteAll(tmp.file("a.zip"), w.Build());
    // A file size limit fails writes past it with EFBIG, as a full disk would.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = 50000;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int files = ExtractFile(tmp.file("a.zip"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(files, 0);
    EXPECT_EQ(Codes(), std::vector<int>{25160});
    EXPECT_EQ(errors[0].file, Bs(tmp.file("a.zip")));
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{OutPath("big.bin"), false}}));
    EXPECT_EQ(events.back(), "Deactivate");
    EXPECT_EQ(fs::file_size(out + "big.bin"), 50000u); // what was written stays
}
