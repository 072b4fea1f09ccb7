// The whole update: a generated 1,500-station showtime.zip served on loopback
// (through the proxy setting, as the user's registry names it), from
// "开始更新" to the last build, with the longest time the GUI thread went
// without processing events; and one build at 100, 500 and 1,500 stations,
// since the update rebuilds lastsch.sch after every extracted entry.
// Run: build/release/bin/update_bench
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "../tests/http/TestHttpServer.h"
#include "DemoArchive.h"
#include "QtBenchMain.h"
#include "U_FrmUpdate.h"
#include "U_MainFun.h"
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
        reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", true);
        reg.WriteInteger("ProxyEnable", 1);
        reg.WriteString("ProxyServer", "127.0.0.1:" + std::to_string(server.Port()));
    }
    double longestGap = 0;
    for (auto _ : state) {
        TFrmUpdate dialog;
        QElapsedTimer sinceLast;
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, double(sinceLast.nsecsElapsed()) / 1e6);
            sinceLast.restart();
        });
        sinceLast.start();
        tick.start();
        dialog.ui->btnUpdate->click();
        QTest::qWaitFor([&] { return !dialog.HttpGet->Running(); }, 600000);
        tick.stop();
        if (dialog.ui->lbHint->text() != "更新提示：更新完毕") state.SkipWithError("no update");
    }
    state.counters["longest_gui_gap_ms"] = longestGap;
    state.counters["archive_MB"] = double(reply.body.size()) / 1e6;
    std::filesystem::remove_all(folder);
}
BENCHMARK(WholeUpdate)->Arg(1500)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void OneBuild(benchmark::State& state) {
    const std::string folder = TempFolder();
    std::filesystem::create_directory(folder + "st");
    WriteSampleStations(folder + "st", Options(int(state.range(0))));
    for (auto _ : state) BuildScheduleFile(folder + "st", "*.*", folder + "lastsch.sch", 0);
    std::filesystem::remove_all(folder);
}
BENCHMARK(OneBuild)->Arg(100)->Arg(500)->Arg(1500)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

VIMBREL_QT_BENCHMARK_MAIN();
