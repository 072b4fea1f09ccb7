// Test utility, not product code: a small encoder for the implode format
// (method 6), to make the window and tree options the corpus lacks. Greedy
// matching over a hash of the last positions; fixed, complete Shannon-Fano
// trees whose codes follow the APPNOTE construction.
#pragma once

#include "DecodeBitWriter.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace decodetest {

class TImplodeEncoder {
public:
    TImplodeEncoder(bool largeWindow, bool literalTree)
        : windowSize(largeWindow ? 8192 : 4096), lowBits(largeWindow ? 7 : 6),
          literalTree(literalTree), minMatch(literalTree ? 3 : 2) {
        // Printable ASCII 7 bits, 96 other bytes 9 bits, the last 64 bytes 10 bits.
        literalLengths.assign(256, 9);
        std::fill(literalLengths.begin() + 32, literalLengths.begin() + 128, 7);
        std::fill(literalLengths.begin() + 192, literalLengths.end(), 10);
        // Lengths: 16 of 5 bits, 16 of 6, 32 of 7. Distances: all 6 bits.
        lengthLengths.assign(64, 7);
        std::fill(lengthLengths.begin(), lengthLengths.begin() + 16, 5);
        std::fill(lengthLengths.begin() + 16, lengthLengths.begin() + 32, 6);
        distanceLengths.assign(64, 6);
    }

    // The flags of the entry: bit 1 the 8 KB window, bit 2 the literal tree.
    std::uint16_t Flags() const {
        return std::uint16_t((windowSize == 8192 ? 2 : 0) | (literalTree ? 4 : 0));
    }

    std::string Encode(const std::string& data) const {
        TBitWriter w;
        if (literalTree) WriteTree(w, literalLengths);
        WriteTree(w, lengthLengths);
        WriteTree(w, distanceLengths);
        std::vector<std::uint32_t> literalCodes = Codes(literalLengths);
        std::vector<std::uint32_t> lengthCodes = Codes(lengthLengths);
        std::vector<std::uint32_t> distanceCodes = Codes(distanceLengths);
        std::map<std::string, std::vector<std::size_t>> seen;
        const std::size_t maxLength = std::size_t(minMatch + 63 + 255);
        for (std::size_t at = 0; at < data.size();) {
            std::size_t bestLength = 0, bestFrom = 0;
            if (at + std::size_t(minMatch) <= data.size()) {
                const std::vector<std::size_t>& froms =
                    seen[data.substr(at, std::size_t(minMatch))];
                for (std::size_t k = froms.size(); k-- > 0 && froms.size() - k <= 32;) {
                    std::size_t from = froms[k];
                    if (at - from > std::size_t(windowSize)) break;
                    std::size_t length = 0;
                    while (at + length < data.size() && length < maxLength &&
                           data[from + length] == data[at + length])
                        ++length;
                    if (length > bestLength) bestLength = length, bestFrom = from;
                }
            }
            std::size_t step = 1;
            if (bestLength >= std::size_t(minMatch)) {
                std::size_t distance = at - bestFrom - 1;
                std::size_t length = bestLength - std::size_t(minMatch);
                w.Bits(0, 1).Bits(std::uint32_t(distance), lowBits);
                std::size_t high = distance >> lowBits;
                w.Code(distanceCodes[high], distanceLengths[high]);
                std::size_t symbol = std::min<std::size_t>(length, 63);
                w.Code(lengthCodes[symbol], lengthLengths[symbol]);
                if (symbol == 63) w.Bits(std::uint32_t(length - 63), 8);
                step = bestLength;
            } else {
                std::uint8_t byte = std::uint8_t(data[at]);
                w.Bits(1, 1);
                if (literalTree)
                    w.Code(literalCodes[byte], literalLengths[byte]);
                else
                    w.Bits(byte, 8);
            }
            for (std::size_t i = 0; i < step; ++i, ++at)
                if (at + std::size_t(minMatch) <= data.size())
                    seen[data.substr(at, std::size_t(minMatch))].push_back(at);
        }
        return w.Finish();
    }

    // A tree as sent: the count of bytes less one, then per run of up to 16
    // symbols of one bit length a byte (count - 1) << 4 | (length - 1).
    static void WriteTree(TBitWriter& w, const std::vector<int>& lengths) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < lengths.size();) {
            std::size_t run = 1;
            while (i + run < lengths.size() && run < 16 && lengths[i + run] == lengths[i])
                ++run;
            bytes.push_back(std::uint8_t((run - 1) << 4 | std::size_t(lengths[i] - 1)));
            i += run;
        }
        w.Bits(std::uint32_t(bytes.size() - 1), 8);
        for (std::uint8_t byte : bytes)
            w.Bits(byte, 8);
    }

    // APPNOTE: sort by bit length, then symbol; from the last to the first the
    // code grows by 2^(16 - length). Returns each symbol's code, length bits.
    static std::vector<std::uint32_t> Codes(const std::vector<int>& lengths) {
        std::vector<std::size_t> order(lengths.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return lengths[a] < lengths[b]; });
        std::vector<std::uint32_t> codes(lengths.size());
        std::uint32_t code = 0, increment = 0;
        int last = 0;
        for (std::size_t i = order.size(); i-- > 0;) {
            code += increment;
            int length = lengths[order[i]];
            if (length != last) last = length, increment = 1u << (16 - length);
            codes[order[i]] = (code & 0xFFFF) >> (16 - length);
        }
        return codes;
    }

private:
    int windowSize;
    int lowBits;
    bool literalTree;
    int minMatch;
    std::vector<int> literalLengths;
    std::vector<int> lengthLengths;
    std::vector<int> distanceLengths;
};

} // namespace decodetest
