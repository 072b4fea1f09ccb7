#include "archive/InflateTables.h"

#include <algorithm>

namespace archive::inflate {
namespace {

constexpr std::uint32_t Match(std::uint32_t base, std::uint32_t extraBits) {
    return base << 16 | extraBits;
}

// RFC 1951 3.2.5: length codes 257..285 and distance codes 0..29.
constexpr std::uint16_t LengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint32_t DistBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                        17,   25,   33,   49,    65,    97,    129,   193,
                                        257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                        4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t DistExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

constexpr TDeflateFormat MakeFormat(bool deflate64) {
    TDeflateFormat format{};
    format.windowSize = deflate64 ? 65536 : 32768;
    for (std::uint32_t symbol = 0; symbol < 256; ++symbol)
        format.litLenSymbols[symbol] = symbol << 16 | EntryLiteral;
    format.litLenSymbols[256] = EntryExceptional | EntryEndOfBlock;
    for (std::uint32_t code = 0; code < 29; ++code)
        format.litLenSymbols[257 + code] = Match(LengthBase[code], LengthExtra[code]);
    if (deflate64) format.litLenSymbols[285] = Match(3, 16); // 3 + 16 extra bits, not 258
    format.litLenSymbols[286] = EntryInvalid;
    format.litLenSymbols[287] = EntryInvalid;
    unsigned distCodes = deflate64 ? 32 : 30;
    for (std::uint32_t code = 0; code < NumDistSymbols; ++code)
        format.distSymbols[code] =
            code < distCodes ? Match(DistBase[code], DistExtra[code]) : EntryInvalid;
    for (std::uint32_t symbol = 0; symbol < NumPrecodeSymbols; ++symbol)
        format.precodeSymbols[symbol] = symbol << 16;
    format.limitCodeCounts = !deflate64;
    return format;
}

constexpr TDeflateFormat Deflate = MakeFormat(false);
constexpr TDeflateFormat Deflate64 = MakeFormat(true);

// The next codeword of the same length, in bit-reversed form: add one at the
// reversed end, carrying towards bit 0.
unsigned NextReversedCode(unsigned reversed, unsigned length) {
    unsigned bit = 1u << (length - 1);
    while (reversed & bit)
        bit >>= 1;
    return bit ? (reversed & (bit - 1)) | bit : 0;
}

void Replicate(std::uint32_t* table, unsigned first, unsigned size, unsigned stride,
               std::uint32_t entry) {
    for (unsigned i = first; i < size; i += stride)
        table[i] = entry;
}

// How many codewords there are of each length; [0] counts nothing.
using TCodeCounts = unsigned[MaxCodeLength + 1];

// false when a length is longer than deflate allows.
bool CountLengths(const std::uint8_t* lengths, unsigned numSymbols, TCodeCounts& count) {
    std::fill_n(count, MaxCodeLength + 1, 0u);
    for (unsigned symbol = 0; symbol < numSymbols; ++symbol) {
        if (lengths[symbol] > MaxCodeLength) return false;
        ++count[lengths[symbol]];
    }
    count[0] = 0;
    return true;
}

// Kraft: the code space the codewords leave over, negative when there are more
// codewords of a length than the space left for them (over-subscribed); and
// the longest length in use.
int CodeSpaceLeft(const TCodeCounts& count, unsigned& maxLength) {
    int left = 1;
    maxLength = 0;
    for (unsigned length = 1; length <= MaxCodeLength; ++length) {
        left = 2 * left - int(count[length]);
        if (left < 0) return left;
        if (count[length] != 0) maxLength = length;
    }
    return left;
}

// The symbols that have a codeword, in canonical order: by codeword length,
// then by symbol. Gives their number.
unsigned SortSymbols(const std::uint8_t* lengths, unsigned numSymbols, const TCodeCounts& count,
                     std::uint16_t* sorted) {
    unsigned offset[MaxCodeLength + 2] = {};
    for (unsigned length = 1; length <= MaxCodeLength; ++length)
        offset[length + 1] = offset[length] + count[length];
    for (unsigned symbol = 0; symbol < numSymbols; ++symbol)
        if (lengths[symbol] != 0) sorted[offset[lengths[symbol]]++] = std::uint16_t(symbol);
    return offset[MaxCodeLength + 1];
}

} // namespace

const TDeflateFormat& DeflateFormat() {
    return Deflate;
}
const TDeflateFormat& Deflate64Format() {
    return Deflate64;
}

bool BuildDecodeTable(std::uint32_t* table, std::size_t capacity, unsigned tableBits,
                      const std::uint8_t* lengths, unsigned numSymbols,
                      const std::uint32_t* symbolEntries) {
    TCodeCounts count;
    if (!CountLengths(lengths, numSymbols, count)) return false;
    unsigned maxLength = 0;
    const int left = CodeSpaceLeft(count, maxLength);
    if (left < 0) return false; // over-subscribed
    std::uint16_t sorted[NumLitLenSymbols];
    const unsigned numCodes = SortSymbols(lengths, numSymbols, count, sorted);

    const unsigned rootSize = 1u << tableBits;
    if (left > 0) std::fill(table, table + rootSize, EntryInvalid); // incomplete: gaps stay invalid
    if (numCodes == 0) return true;

    const unsigned subBits = maxLength > tableBits ? maxLength - tableBits : 0;
    std::size_t nextSubtable = rootSize;
    unsigned subtablePrefix = rootSize; // none yet
    std::size_t subtableStart = 0;
    unsigned reversed = 0;
    for (unsigned i = 0; i < numCodes; ++i) {
        unsigned symbol = sorted[i];
        unsigned length = lengths[symbol];
        std::uint32_t entry = symbolEntries[symbol];
        if (length <= tableBits) {
            Replicate(table, reversed, rootSize, 1u << length, entry + length + (length << 8));
        } else {
            // Codewords sharing their first tableBits bits are adjacent in
            // canonical order, so each subtable is filled in one run.
            unsigned prefix = reversed & (rootSize - 1);
            if (prefix != subtablePrefix) {
                if (nextSubtable + (std::size_t(1) << subBits) > capacity) return false;
                subtablePrefix = prefix;
                subtableStart = nextSubtable;
                nextSubtable += std::size_t(1) << subBits;
                std::fill(table + subtableStart, table + nextSubtable, EntryInvalid);
                table[prefix] = std::uint32_t(subtableStart) << 16 | EntryExceptional |
                                EntrySubtable | subBits << 8 | tableBits;
            }
            unsigned subLength = length - tableBits;
            Replicate(table + subtableStart, reversed >> tableBits, 1u << subBits, 1u << subLength,
                      entry + subLength + (subLength << 8));
        }
        reversed = NextReversedCode(reversed, length);
    }
    return true;
}

} // namespace archive::inflate
