// CRC-32 over 64 MB in memory: ours (UpdateCrc32, which folds with
// VPCLMULQDQ or PCLMULQDQ where the CPU has them) beside zlib's crc32_z, and
// each of our ways alone for reference; all over the same bytes, as one call
// and in the 32 KB pieces the extraction hands over. The results must agree.
// Run: build/bench/bin/crc_bench --benchmark_repetitions=5
//          --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include "archive/Crc32.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::size_t DataSize = 64u << 20;

const std::vector<std::uint8_t>& Data() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes(DataSize);
        std::mt19937_64 random(17);
        for (std::size_t i = 0; i < DataSize; i += 8) {
            const std::uint64_t r = random();
            for (int k = 0; k < 8; ++k)
                bytes[i + std::size_t(k)] = std::uint8_t(r >> (8 * k));
        }
        return bytes;
    }();
    return data;
}

std::uint32_t Expected() {
    static const std::uint32_t crc = std::uint32_t(crc32_z(0, Data().data(), DataSize));
    return crc;
}

// piece: 0 for one call over the whole buffer.
template <class Update> void Run(benchmark::State& state, Update update) {
    const std::vector<std::uint8_t>& data = Data();
    const std::size_t piece = state.range(0) ? std::size_t(state.range(0)) : DataSize;
    std::uint32_t crc = 0;
    for (auto _ : state) {
        crc = 0xFFFFFFFF;
        for (std::size_t at = 0; at < DataSize; at += piece)
            crc = update(crc, data.data() + at, piece);
        crc ^= 0xFFFFFFFF;
        benchmark::DoNotOptimize(crc);
    }
    if (crc != Expected()) state.SkipWithError("wrong CRC");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(DataSize));
}

void Crc32Vimbrel(benchmark::State& state) {
    Run(state, archive::UpdateCrc32);
}

void Crc32VimbrelTables(benchmark::State& state) {
    Run(state, archive::UpdateCrc32Tables);
}

void Crc32VimbrelFold(benchmark::State& state) {
    if (!archive::Crc32FoldSupported()) return state.SkipWithError("no PCLMULQDQ");
    Run(state, archive::UpdateCrc32Fold);
}

void Crc32VimbrelWideFold(benchmark::State& state) {
    if (!archive::Crc32WideFoldSupported()) return state.SkipWithError("no VPCLMULQDQ");
    Run(state, archive::UpdateCrc32WideFold);
}

// zlib's running value is the finished CRC: it inverts on the way in and out.
void Crc32Zlib(benchmark::State& state) {
    Run(state, [](std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
        return std::uint32_t(crc32_z(crc ^ 0xFFFFFFFF, data, size)) ^ 0xFFFFFFFF;
    });
}

BENCHMARK(Crc32Vimbrel)->Arg(0)->Arg(32768)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32Zlib)->Arg(0)->Arg(32768)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32VimbrelTables)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32VimbrelFold)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32VimbrelWideFold)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
