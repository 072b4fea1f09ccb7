// The whole update as a user meets it: a generated showtime.zip of 1,500 and
// of 6,000 stations (the sample generator's text, deflated) served on
// loopback through the proxy setting, from "开始更新" to "更新完毕", with the
// longest time the GUI thread went without processing events. Beside it, in
// the same iteration, Info-ZIP unzip extracts the same archive to the same
// file system. Every iteration checks that the schedule is the file one build
// over the finished station folder gives. Then one build over 100, 500 and
// 1,500 station files.
// VIMBREL_BENCH_DIR picks the file system (default /tmp; /dev/shm is tmpfs).
// Run, for medians:
//   build/bench/bin/update_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../tests/http/TestHttpServer.h"
#include "DemoArchive.h"
#include "ExtractBench.h"
#include "QtBenchMain.h"
#include "gui/U_FrmUpdate.h"
#include "platform/Registry.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"
#include "ui_U_FrmUpdate.h"

namespace {

// One scratch folder for the whole run. What the runs write stays until the
// end: on ext4, creating thousands of files right after deleting thousands
// spends its time looking for inodes not recently freed, for us and the peer
// alike, which is not the update's own cost.
struct TScratch {
    std::string root = bench::ScratchFolder("vimbrel-update");
    ~TScratch() { std::filesystem::remove_all(root); }
};
const std::string& Root() {
    static const TScratch scratch;
    return scratch.root;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The sample generator's archive of n stations, made once per size, and
// written beside the runs for the peer.
const std::string& Archive(int stations) {
    static std::map<int, std::string> archives;
    std::string& zip = archives[stations];
    if (zip.empty()) {
        TSampleOptions options;
        options.stations = stations;
        zip = MakeShowtimeZip(options);
        WriteFile(Root() + "showtime" + std::to_string(stations) + ".zip", zip);
    }
    return zip;
}

struct TUpdateTimes {
    double update = 0, longestGap = 0, download = 0;
    bool updated = false;
};

// Clicks "开始更新" and waits in an event loop, as the program's own does; a
// 1 ms tick measures how long the GUI thread went without turning it.
TUpdateTimes RunUpdate(TFrmUpdate& dialog) {
    TUpdateTimes t;
    QEventLoop loop;
    QElapsedTimer sinceLast, sinceStart;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        t.longestGap = std::max(t.longestGap, double(sinceLast.nsecsElapsed()) / 1e6);
        sinceLast.restart();
        const QString hint = dialog.ui->lbHint->text();
        if (t.download == 0 && hint != "更新提示：正在下载更新信息...")
            t.download = double(sinceStart.nsecsElapsed()) / 1e9;
        if (!dialog.HttpGet->Running() || sinceStart.elapsed() > 600000) {
            t.update = double(sinceStart.nsecsElapsed()) / 1e9;
            t.updated = hint == "更新提示：更新完毕";
            loop.quit();
        }
    });
    sinceLast.start();
    sinceStart.start();
    tick.start();
    dialog.ui->btnUpdate->click();
    loop.exec();
    return t;
}

// The schedule is the one a build over the finished folder gives, its build
// time (bytes 8 to 16) aside.
bool SameAsOneBuild() {
    BuildScheduleFile(StationFolderPath(), "*.*", Root() + "one-build.sch", 0);
    std::string updated = ReadFile(ScheduleFilePath()), built = ReadFile(Root() + "one-build.sch");
    if (updated.size() < 24 || built.size() < 24) return false;
    updated.replace(8, 8, 8, '\0');
    built.replace(8, 8, 8, '\0');
    return updated == built;
}

void WholeUpdate(benchmark::State& state) {
    static int run = 0;
    const std::string& root = Root();
    const std::string& zip = Archive(int(state.range(0)));
    const std::string peerZip = root + "showtime" + std::to_string(state.range(0)) + ".zip";
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    TestHttpServer server;
    TestReply reply;
    reply.body = zip;
    server.SetReply(reply);
    {
        platform::TRegistry reg;
        reg.OpenKey(platform::InternetSettingsKey, true);
        reg.WriteInteger("ProxyEnable", 1);
        reg.WriteString("ProxyServer", server.Address());
    }
    TUpdateTimes t;
    double unzip = 0;
    for (auto _ : state) {
        const std::string program = root + "program" + std::to_string(run) + "/";
        std::filesystem::create_directories(program);
        SetProgramFolder(program);
        sync();
        TFrmUpdate dialog;
        dialog.show(); // painted, as the user sees it (offscreen)
        t = RunUpdate(dialog);
        state.SetIterationTime(t.update);
        if (!t.updated) state.SkipWithError("no update");
        if (!SameAsOneBuild()) state.SkipWithError("not the file one build gives");
        const std::string peer = root + "unzip" + std::to_string(run++) + "/";
        std::filesystem::create_directories(peer);
        sync();
        QElapsedTimer clock;
        clock.start();
        bench::Run({"unzip", "-o", "-qq", peerZip, "-d", peer});
        unzip = double(clock.nsecsElapsed()) / 1e9;
    }
    state.counters["update_s"] = t.update;
    state.counters["unzip_s"] = unzip;
    state.counters["longest_gui_gap_ms"] = t.longestGap;
    state.counters["download_s"] = t.download;
    state.counters["archive_MB"] = double(zip.size()) / 1e6;
}
BENCHMARK(WholeUpdate)
    ->Arg(1500)
    ->Arg(6000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

// One build over a folder of station files.
void OneBuild(benchmark::State& state) {
    const std::string folder = Root() + "stations" + std::to_string(state.range(0)) + "/";
    if (std::filesystem::create_directory(folder)) {
        TSampleOptions options;
        options.stations = int(state.range(0));
        WriteSampleStations(folder, options);
    }
    for (auto _ : state)
        BuildScheduleFile(folder, "*.*", Root() + "one-build.sch", 0);
}
BENCHMARK(OneBuild)->Arg(100)->Arg(500)->Arg(1500)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

VIMBREL_QT_BENCHMARK_MAIN();
