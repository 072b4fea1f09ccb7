// Inflate throughput: our engine beside zlib's inflate, on the same raw
// deflate stream of 64 MB of mixed text and binary data, in memory. Both
// deliver the whole output into one destination buffer; ours through the
// decode sink in chunks of at most 32768 bytes, zlib in one call.
#include "archive/Decoders.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t DataSize = 64u << 20;

// Deterministic data: text made of words, records of slowly changing binary
// fields, noisy bytes and runs, in alternating stretches of varying length.
std::vector<std::uint8_t> MakeData() {
    static const char* const Words[] = {"schedule", "station", "programme", "news",    "weather",
                                        "the",      "of",      "and",       "film",    "series",
                                        "live",     "sport",   "evening",   "morning", "update",
                                        "archive",  "episode", "music",     "report",  "channel"};
    std::vector<std::uint8_t> data;
    data.reserve(DataSize);
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    while (data.size() < DataSize) {
        std::size_t stretch = 4096 + next() % 65536;
        switch (next() % 4) {
        case 0: // text
            for (std::size_t n = 0; n < stretch;) {
                const char* word = Words[next() % 20];
                std::size_t length = std::strlen(word);
                data.insert(data.end(), word, word + length);
                data.push_back(next() % 12 == 0 ? '\n' : ' ');
                n += length + 1;
            }
            break;
        case 1: { // records
            std::uint32_t counter = next();
            for (std::size_t n = 0; n < stretch; n += 16) {
                counter += 1 + next() % 4;
                std::uint8_t record[16] = {};
                std::memcpy(record, &counter, 4);
                record[4] = std::uint8_t(next() % 8);
                std::memcpy(record + 8, "RECORD\0\0", 8);
                data.insert(data.end(), record, record + 16);
            }
            break;
        }
        case 2: // noise
            for (std::size_t n = 0; n < stretch / 4; ++n)
                data.push_back(std::uint8_t(next()));
            break;
        default: // runs
            data.insert(data.end(), stretch / 2, std::uint8_t(next()));
            break;
        }
    }
    data.resize(DataSize);
    return data;
}

std::vector<std::uint8_t> RawDeflate(const std::vector<std::uint8_t>& data) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<std::uint8_t> out(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct TStream {
    std::vector<std::uint8_t> data = MakeData();
    std::vector<std::uint8_t> deflated = RawDeflate(data);
};

const TStream& Stream() {
    static const TStream stream;
    return stream;
}

class TBufferSource : public archive::TDecodeSource {
public:
    explicit TBufferSource(const std::vector<std::uint8_t>& bytes) : bytes(bytes) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override {
        count = std::min(count, bytes.size() - position);
        std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        return count;
    }
    void Unread(std::size_t count) override { position -= count; }

private:
    const std::vector<std::uint8_t>& bytes;
    std::size_t position = 0;
};

class TBufferSink : public archive::TDecodeSink {
public:
    explicit TBufferSink(std::vector<std::uint8_t>& out) : out(out) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (size > out.size() - filled) return false;
        std::memcpy(out.data() + filled, data, size);
        filled += size;
        return true;
    }
    bool Cancelled() override { return false; }
    std::size_t filled = 0;

private:
    std::vector<std::uint8_t>& out;
};

void BM_InflateVimbrel(benchmark::State& state) {
    const TStream& stream = Stream();
    std::vector<std::uint8_t> out(DataSize);
    for (auto _ : state) {
        TBufferSource source(stream.deflated);
        TBufferSink sink(out);
        archive::TDecodeEntry entry{8, 0, stream.deflated.size(), DataSize};
        if (archive::DecodeEntry(entry, source, sink) != archive::TDecodeResult::Ok ||
            sink.filled != DataSize)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    if (out != stream.data) state.SkipWithError("output differs");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(DataSize));
    state.SetLabel("from " + std::to_string(stream.deflated.size()) + " bytes");
}

void BM_InflateZlib(benchmark::State& state) {
    const TStream& stream = Stream();
    std::vector<std::uint8_t> out(DataSize);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = const_cast<Bytef*>(stream.deflated.data());
        z.avail_in = uInt(stream.deflated.size());
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    if (out != stream.data) state.SkipWithError("output differs");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(DataSize));
    state.SetLabel("from " + std::to_string(stream.deflated.size()) + " bytes");
}

BENCHMARK(BM_InflateVimbrel)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_InflateZlib)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
