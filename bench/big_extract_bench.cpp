// Extracting one big entry: 64 MB of GBK schedule text, noise, binary records
// and repeats, in stretches of varying length, so that it compresses only in
// part. Two archives of the same file:
//   deflate   - Info-ZIP zip -6 (24.2 MB); TUnZip beside Info-ZIP unzip, 7-Zip, bsdtar;
//   deflate64 - 7-Zip's Deflate64 (18.6 MB); TUnZip beside 7-Zip, the only peer that
//               reads it.
// Every run must give the whole file (and for TUnZip a passing CRC).
// Each run writes into a fresh folder; the last run's output is removed
// outside the timing. The peers' times include starting their process (about
// a millisecond). VIMBREL_BENCH_DIR picks the file system (default /tmp;
// /dev/shm leaves the disk out). One run, interleaved:
//
//   big_extract_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//                     --benchmark_report_aggregates_only=true
//   VIMBREL_BENCH_DIR=/dev/shm big_extract_bench (same flags)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ExtractBench.h"
#include "archive/TUnZip.h"

namespace fs = std::filesystem;

namespace {

using bench::Fastest;

constexpr std::size_t ContentSize = 64u << 20;
const char* const EntryName = "showtime.dat";

enum class Kind { Deflate, Deflate64 };

// Deterministic content. A repeat copies bytes from 32 to 64 KB back: out of
// Deflate's window, inside Deflate64's, so the two archives differ in kind.
std::string MakeContent() {
    std::string data;
    data.reserve(ContentSize + 65536);
    std::uint32_t seed = 20250113;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int station = 0; data.size() < ContentSize;) {
        const std::size_t stretch = 4096 + next() % 28672;
        switch (next() % 5) {
        case 0:
        case 1: // schedule text
            data += bench::StationText(station++, stretch);
            break;
        case 2: // noise
            for (std::size_t n = 0; n < stretch; ++n)
                data.push_back(char(next()));
            break;
        case 3: { // records of a slowly rising counter
            std::uint32_t counter = next();
            for (std::size_t n = 0; n < stretch; n += 16) {
                counter += 1 + next() % 4;
                char record[16] = {char(counter),
                                   char(counter >> 8),
                                   char(counter >> 16),
                                   char(counter >> 24),
                                   char(next() % 8),
                                   0,
                                   0,
                                   0,
                                   'R',
                                   'E',
                                   'C',
                                   'O',
                                   'R',
                                   'D',
                                   0,
                                   0};
                data.append(record, sizeof record);
            }
            break;
        }
        default: { // a far repeat
            if (data.size() < 65536) break;
            const std::size_t distance = 32769 + next() % 32767;
            for (std::size_t n = 0; n < stretch; ++n)
                data.push_back(data[data.size() - distance]);
            break;
        }
        }
    }
    data.resize(ContentSize);
    return data;
}

struct Data {
    std::string root; // with trailing "/"
    std::string deflate, deflate64;
    const std::string& Archive(Kind kind) const {
        return kind == Kind::Deflate ? deflate : deflate64;
    }
};

// The compression method of an archive's first entry, from its local header.
int FirstMethod(const std::string& archive) {
    std::ifstream in(archive, std::ios::binary);
    unsigned char head[10] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return head[8] | head[9] << 8;
}

// Set once the archives exist, for the clean-up at the end.
std::string madeRoot;

const Data& BenchData() {
    static const Data data = [] {
        Data d;
        d.root = madeRoot = bench::ScratchFolder("vimbrel-big-extract");
        fs::create_directories(d.root + "src");
        {
            const std::string content = MakeContent();
            std::ofstream out(d.root + "src/" + EntryName, std::ios::binary);
            out.write(content.data(), std::streamsize(content.size()));
        }
        d.deflate = d.root + "deflate.zip";
        d.deflate64 = d.root + "deflate64.zip";
        const std::string in = "cd " + d.root + "src && ";
        const std::string zip = in + "zip -6 -q " + d.deflate + " " + EntryName;
        const std::string sevenZip =
            in + "7zz a -tzip -mm=Deflate64 " + d.deflate64 + " " + EntryName + " >/dev/null";
        if (std::system(zip.c_str()) != 0 || std::system(sevenZip.c_str()) != 0) std::abort();
        if (FirstMethod(d.deflate) != 8 || FirstMethod(d.deflate64) != 9) std::abort();
        return d;
    }();
    return data;
}

bool WholeFile(const std::string& dir) {
    std::error_code error;
    return fs::file_size(dir + EntryName, error) == ContentSize && !error;
}

void BM_TUnZip(benchmark::State& state, Kind kind) {
    const Data& d = BenchData();
    for (auto _ : state) {
        const std::string dir = bench::FreshFolder(state, d.root, true);
        archive::TUnZip unzip;
        int passes = 0;
        unzip.OnEnd = [&](QObject*, const std::string&, bool pass) { passes += pass; };
        unzip.SetArchiveFile(d.Archive(kind));
        unzip.FileSpec().Add("*.*");
        unzip.SetExtractDir(dir);
        if (unzip.Extract() != 1 || passes != 1 || !WholeFile(dir)) {
            state.SkipWithError("extract");
            break;
        }
    }
}

void BM_Peer(benchmark::State& state, Kind kind, std::vector<std::string> command,
             std::string intoFlag) {
    const Data& d = BenchData();
    command.push_back(d.Archive(kind));
    for (auto _ : state) {
        const std::string dir = bench::FreshFolder(state, d.root, true);
        bench::Run(bench::IntoFolder(command, intoFlag, dir));
        if (!WholeFile(dir)) {
            state.SkipWithError("extract");
            break;
        }
    }
}

} // namespace

#define VIMBREL_BIG_EXTRACT(...)                                                                   \
    BENCHMARK_CAPTURE(__VA_ARGS__)                                                                 \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseRealTime()                                                                            \
        ->ComputeStatistics("min", Fastest)

VIMBREL_BIG_EXTRACT(BM_TUnZip, deflate, Kind::Deflate);
VIMBREL_BIG_EXTRACT(BM_Peer, deflate_unzip_o_qq, Kind::Deflate, {"unzip", "-o", "-qq"}, "-d");
VIMBREL_BIG_EXTRACT(BM_Peer, deflate_7zz_x_y, Kind::Deflate, {"7zz", "x", "-y"}, "-o");
VIMBREL_BIG_EXTRACT(BM_Peer, deflate_bsdtar_xf, Kind::Deflate, {"bsdtar", "-xf"}, "-C");
VIMBREL_BIG_EXTRACT(BM_TUnZip, deflate64, Kind::Deflate64);
VIMBREL_BIG_EXTRACT(BM_Peer, deflate64_7zz_x_y, Kind::Deflate64, {"7zz", "x", "-y"}, "-o");

int main(int argc, char** argv) {
    // The program extracts on its GUI thread, which lets events run at every step.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!madeRoot.empty()) fs::remove_all(madeRoot);
    return 0;
}
