// Test utility: builds deflate blocks bit by bit, for streams no compressor
// would write (malformed ones, Deflate64's long lengths and far distances).
#pragma once

#include "DecodeBitWriter.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace decodetest {

// Fixed Huffman codes (RFC 1951 3.2.6), most significant bit first.
inline void FixedSymbol(TBitWriter& w, int symbol) {
    if (symbol < 144)
        w.Code(std::uint32_t(0x30 + symbol), 8);
    else if (symbol < 256)
        w.Code(std::uint32_t(0x190 + symbol - 144), 9);
    else if (symbol < 280)
        w.Code(std::uint32_t(symbol - 256), 7);
    else
        w.Code(std::uint32_t(0xC0 + symbol - 280), 8);
}

inline TBitWriter FixedBlockHeader(bool last = true) {
    TBitWriter w;
    w.Bits(last ? 1 : 0, 1).Bits(1, 2);
    return w;
}

// Canonical codes for the given lengths (RFC 1951 3.2.2).
inline std::vector<std::uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    int count[16] = {};
    for (int length : lengths)
        ++count[length];
    count[0] = 0;
    std::uint32_t next[16] = {};
    std::uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + std::uint32_t(count[bits - 1])) << 1;
        next[bits] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i] != 0) codes[i] = next[lengths[i]]++;
    return codes;
}

using TPrecode = std::vector<std::pair<int, int>>; // (code length symbol, its code's length)

struct TLengthSymbol {
    int symbol; // 0-18
    int extra;
    int extraBits;
};

// A last dynamic block's header: counts, the code length code, and the code
// length symbols written with it.
inline TBitWriter DynamicBlockHeader(int litLen, int dist, const TPrecode& precode,
                                     const std::vector<TLengthSymbol>& symbols) {
    static const int Order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    std::vector<int> lengths(19, 0);
    for (auto [symbol, length] : precode)
        lengths[std::size_t(symbol)] = length;
    int count = 4;
    for (int i = 0; i < 19; ++i)
        if (lengths[std::size_t(Order[i])] != 0) count = std::max(count, i + 1);
    TBitWriter w;
    w.Bits(1, 1).Bits(2, 2);
    w.Bits(std::uint32_t(litLen - 257), 5).Bits(std::uint32_t(dist - 1), 5);
    w.Bits(std::uint32_t(count - 4), 4);
    for (int i = 0; i < count; ++i)
        w.Bits(std::uint32_t(lengths[std::size_t(Order[i])]), 3);
    std::vector<std::uint32_t> codes = CanonicalCodes(lengths);
    for (const TLengthSymbol& s : symbols) {
        w.Code(codes[std::size_t(s.symbol)], lengths[std::size_t(s.symbol)]);
        w.Bits(std::uint32_t(s.extra), s.extraBits);
    }
    return w;
}

} // namespace decodetest
