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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ExtractBench.h"
#include "archive/TUnZip.h"
#include "platform/CodePage.h"

namespace fs = std::filesystem;

namespace {

using bench::Fastest;

constexpr int Stations = 3000;

struct Data {
    std::string root;    // with trailing "/"
    std::string archive; // showtime.zip
};

const Data& BenchData() {
    static const Data data = [] {
        Data d;
        d.root = bench::ScratchFolder("vimbrel-extract");
        const std::string folder = platform::QStringToGbk(QString::fromUtf8("节目单"));
        const std::string channel = platform::QStringToGbk(QString::fromUtf8("频道"));
        fs::create_directories(d.root + "src/" + folder);
        for (int i = 0; i < Stations; ++i) {
            std::ofstream out(d.root + "src/" + folder + "/" + channel + std::to_string(i) + ".txt",
                              std::ios::binary);
            out << bench::StationText(i);
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

// Outputs stay until the end: thousands of deletions would slow the next
// iteration's file creation on ext4.
std::string FreshFolder(benchmark::State& state) {
    return bench::FreshFolder(state, BenchData().root);
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
        bench::Run(bench::IntoFolder(command, intoFlag, dir));
    }
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
