// Test utility: deterministic test data and zlib's raw deflate as the oracle.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>

namespace decodetest {

enum class TDataKind { Random, Text, Mixed, Runs };

inline std::string MakeTestData(TDataKind kind, std::size_t size, std::uint32_t seed) {
    static const char* const Words[] = {"channel ", "news ",  "film ",    "the ",  "weather ",
                                        "sport\n",  "of ",    "evening ", "live ", "series ",
                                        "music ",   "drama ", "report\n", "a ",    "station "};
    std::mt19937 random(seed);
    std::string data;
    data.reserve(size + 16);
    while (data.size() < size) {
        TDataKind part = kind;
        if (kind == TDataKind::Mixed) part = TDataKind(random() % 4);
        std::size_t stretch = part == kind ? size : 1 + random() % 5000;
        for (std::size_t i = 0; i < stretch && data.size() < size; ++i) {
            if (part == TDataKind::Random)
                data.push_back(char(random()));
            else if (part == TDataKind::Text)
                data += Words[random() % 15];
            else
                data.append(1 + random() % 300, char('A' + random() % 3));
        }
    }
    data.resize(size);
    return data;
}

inline std::string RawDeflate(const std::string& data, int level,
                              int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, uLong(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace decodetest
