// Extracting the update archive: 3,000 stored station files of about 20 KB
// with GBK names in the folder 节目单, written by Info-ZIP zip. TUnZip beside
// Info-ZIP unzip, 7-Zip and libarchive's bsdtar, each into a fresh folder.
// The peers' times include starting their process (about a millisecond).
// VIMBREL_BENCH_ZIP_LEVEL=6 deflates the entries instead of storing them.
// VIMBREL_BENCH_DIR picks the file system (default /tmp; /dev/shm leaves the
// disk out and shows the extractors' own cost). One run, interleaved:
//
//   extract_bench --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true
//                 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "archive/TUnZip.h"
#include "platform/CodePage.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int Stations = 3000;
constexpr std::size_t StationBytes = 20000;

// A week of programme lines, deterministic, in GBK.
std::string StationText(int station) {
    static const std::vector<std::string> titles = [] {
        std::vector<std::string> t;
        for (const char* s : {"新闻联播", "天气预报", "焦点访谈", "今日说法", "电视剧：大宅门",
                              "动物世界", "体育新闻", "晚间新闻", "综艺快报", "纪录片：长江"})
            t.push_back(platform::QStringToGbk(QString::fromUtf8(s)));
        return t;
    }();
    static const std::string weekday = platform::QStringToGbk(QString::fromUtf8("星期"));
    std::string text;
    unsigned seed = unsigned(station) * 2654435761u;
    for (int day = 0; text.size() < StationBytes; ++day) {
        char date[64];
        std::snprintf(date, sizeof date, "25/01/%02d ", 13 + day % 7);
        text += date + weekday + std::to_string(day % 7 + 1) + "\r\n";
        for (int slot = 0; slot < 40 && text.size() < StationBytes; ++slot) {
            seed = seed * 1103515245u + 12345u;
            char time[16];
            std::snprintf(time, sizeof time, "%02d:%02d ", 6 + slot / 3, (slot % 3) * 20);
            text += time + titles[(seed >> 16) % titles.size()] + "\r\n";
        }
    }
    return text;
}

struct Data {
    std::string root;    // with trailing "/"
    std::string archive; // showtime.zip
};

const Data& BenchData() {
    static const Data data = [] {
        Data d;
        const char* base = std::getenv("VIMBREL_BENCH_DIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/vimbrel-extract-XXXXXX";
        if (!mkdtemp(tmpl.data())) std::abort();
        d.root = tmpl + "/";
        const std::string folder = platform::QStringToGbk(QString::fromUtf8("节目单"));
        const std::string channel = platform::QStringToGbk(QString::fromUtf8("频道"));
        fs::create_directories(d.root + "src/" + folder);
        for (int i = 0; i < Stations; ++i) {
            std::ofstream out(d.root + "src/" + folder + "/" + channel + std::to_string(i) + ".txt",
                              std::ios::binary);
            out << StationText(i);
        }
        d.archive = d.root + "showtime.zip";
        // Stored by default; VIMBREL_BENCH_ZIP_LEVEL=6 makes a deflated archive.
        const char* level = std::getenv("VIMBREL_BENCH_ZIP_LEVEL");
        const std::string cmd = "cd " + d.root + "src && zip -" + (level ? level : "0") +
                                " -q -r ../showtime.zip " + folder;
        if (std::system(cmd.c_str()) != 0) std::abort();
        return d;
    }();
    return data;
}

// A fresh, empty target folder per iteration. Outputs are removed only at the
// end: on ext4, creating files right after thousands were deleted spends most
// of its time looking for inodes that were not freed recently. The disk is
// synced first so that one run's write-back does not slow the next.
std::string FreshFolder(benchmark::State& state) {
    static int n = 0;
    state.PauseTiming();
    const std::string dir = BenchData().root + "out" + std::to_string(n++) + "/";
    fs::create_directories(dir);
    sync();
    state.ResumeTiming();
    return dir;
}

void Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

void BM_TUnZip(benchmark::State& state) {
    const Data& d = BenchData();
    for (auto _ : state) {
        const std::string dir = FreshFolder(state);
        archive::TUnZip unzip;
        int ends = 0;
        unzip.OnEnd = [&](QObject*, const std::string&, bool pass) { ends += pass; };
        unzip.SetArchiveFile(d.archive);
        unzip.FileSpec().Add("*.*");
        unzip.SetExtractDir(dir);
        if (unzip.Extract() != Stations || ends != Stations + 1) state.SkipWithError("extract");
    }
}

void BM_Peer(benchmark::State& state, std::vector<std::string> command, std::string intoFlag) {
    for (auto _ : state) {
        const std::string dir = FreshFolder(state);
        std::vector<std::string> args = command;
        if (intoFlag == "-o") {
            args.push_back("-o" + dir);
        } else {
            args.push_back(intoFlag);
            args.push_back(dir);
        }
        Run(args);
    }
}

// A shared disk is noisy: the best run shows each tool's own cost.
double Fastest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

} // namespace

BENCHMARK(BM_TUnZip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", Fastest);
BENCHMARK_CAPTURE(BM_Peer, unzip_o_qq, {"unzip", "-o", "-qq", BenchData().archive}, "-d")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", Fastest);
BENCHMARK_CAPTURE(BM_Peer, 7zz_x_y, {"7zz", "x", "-y", BenchData().archive}, "-o")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", Fastest);
BENCHMARK_CAPTURE(BM_Peer, bsdtar_xf, {"bsdtar", "-xf", BenchData().archive}, "-C")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", Fastest);

int main(int argc, char** argv) {
    // The program extracts on its GUI thread, which lets events run at every step.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(BenchData().root);
    return 0;
}
