// The whole update: a generated 1,500-station showtime.zip served on loopback
// (through the proxy setting, as the user's registry names it), from
// "开始更新" to the last build, with the longest time the GUI thread went
// without processing events; and one build at 100, 500 and 1,500 stations,
// since the update rebuilds lastsch.sch after every extracted entry, both
// reading every file and with the files the update's earlier builds read.
// VIMBREL_BENCH_DIR picks the file system (default /tmp).
// Run: build/bench/bin/update_bench
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "../tests/http/TestHttpServer.h"
#include "DemoArchive.h"
#include "QtBenchMain.h"
#include "U_FrmUpdate.h"
#include "U_MainFunBuild.h"
#include "U_MainFunFolder.h"
#include "platform/Registry.h"
#include "ui_U_FrmUpdate.h"

namespace {

std::string TempFolder() {
    // VIMBREL_BENCH_DIR picks the file system (for instance /dev/shm).
    const char* base = std::getenv("VIMBREL_BENCH_DIR");
    std::string tmpl = std::string(base ? base : "/tmp") + "/vimbrel-update-bench-XXXXXX";
    return std::string(mkdtemp(tmpl.data())) + "/";
}

TSampleOptions Options(int stations) {
    TSampleOptions options;
    options.stations = stations;
    options.programmesPerDay = 20; // about 3.3 KB a station: 5 MB for 1,500
    return options;
}

void WholeUpdate(benchmark::State& state) {
    const std::string folder = TempFolder();
    SetProgramFolder(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    TestHttpServer server;
    TestReply reply;
    reply.body = MakeShowtimeZip(Options(int(state.range(0))));
    server.SetReply(reply);
    {
        platform::TRegistry reg;
        reg.OpenKey(platform::InternetSettingsKey, true);
        reg.WriteInteger("ProxyEnable", 1);
        reg.WriteString("ProxyServer", "127.0.0.1:" + std::to_string(server.Port()));
    }
    double longestGap = 0, download = 0;
    for (auto _ : state) {
        TFrmUpdate dialog;
        // The event loop waits as the program's does; a 1 ms tick measures
        // how long it went without turning (QTest::qWaitFor would sleep 10 ms
        // between turns and hold up every hand-over of the download).
        QEventLoop loop;
        QElapsedTimer sinceLast, sinceStart;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        bool finished = false;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, double(sinceLast.nsecsElapsed()) / 1e6);
            sinceLast.restart();
            if (download == 0 && dialog.ui->lbHint->text() != "更新提示：正在下载更新信息...")
                download = double(sinceStart.nsecsElapsed()) / 1e9;
            if (!dialog.HttpGet->Running() || sinceStart.elapsed() > 600000) {
                finished = !dialog.HttpGet->Running();
                loop.quit();
            }
        });
        sinceLast.start();
        sinceStart.start();
        tick.start();
        dialog.ui->btnUpdate->click();
        loop.exec();
        tick.stop();
        if (!finished) state.SkipWithError("timed out");
        if (dialog.ui->lbHint->text() != "更新提示：更新完毕") state.SkipWithError("no update");
    }
    state.counters["longest_gui_gap_ms"] = longestGap;
    state.counters["download_s"] = download;
    state.counters["archive_MB"] = double(reply.body.size()) / 1e6;
    std::filesystem::remove_all(folder);
}
BENCHMARK(WholeUpdate)->Arg(1500)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// One build over a folder of stations: read from disk (the first build of an
// update, or any build outside one), and from the cache the update keeps
// (every later build, for the files extracted before it).
void OneBuild(benchmark::State& state, bool cached) {
    const std::string folder = TempFolder();
    std::filesystem::create_directory(folder + "st");
    WriteSampleStations(folder + "st", Options(int(state.range(0))));
    TBuildCache cache;
    if (cached) {
        BuildScheduleFile(folder + "st", "*.*", folder + "lastsch.sch", 0, &cache);
        if (cache.Size() != std::size_t(state.range(0))) state.SkipWithError("not cached");
    }
    for (auto _ : state)
        BuildScheduleFile(folder + "st", "*.*", folder + "lastsch.sch", 0,
                          cached ? &cache : nullptr);
    std::filesystem::remove_all(folder);
}
BENCHMARK_CAPTURE(OneBuild, disk, false)
    ->Arg(100)
    ->Arg(500)
    ->Arg(1500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(OneBuild, cached, true)
    ->Arg(100)
    ->Arg(500)
    ->Arg(1500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

VIMBREL_QT_BENCHMARK_MAIN();
