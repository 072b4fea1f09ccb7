// Huffman decode tables of the inflate engine and the two formats it reads:
// deflate (method 8) and Deflate64 (method 9), which differ only in the window,
// the meaning of length code 285, distance codes 30 and 31, and the header
// limits. The tables, not the decode loop, carry the difference.
//
// A table entry packs everything the decode loop needs for one codeword into
// 32 bits, so that one load decodes a symbol:
//   bits 0-7    bits to remove: codeword length plus extra bits
//               (subtable pointer: the root table's index bits)
//   bits 8-11   codeword length (subtable pointer: the subtable's index bits)
//   bits 12-15  kind flags below
//   bits 16-31  literal byte, length or distance base, precode symbol, or the
//               subtable's start
// Codewords are indexed bit-reversed, as deflate sends them least significant
// bit first; a codeword longer than the root table's bits goes on in a subtable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archive::inflate {

constexpr std::uint32_t EntryLiteral = 1u << 12;
constexpr std::uint32_t EntryExceptional = 1u << 13; // end of block, subtable or invalid
constexpr std::uint32_t EntrySubtable = 1u << 14;
constexpr std::uint32_t EntryEndOfBlock = 1u << 15;
constexpr std::uint32_t EntryInvalid = EntryExceptional; // a codeword no symbol has

constexpr unsigned EntryBits(std::uint32_t entry) {
    return entry & 0xFF;
}
constexpr unsigned EntryCodeLength(std::uint32_t entry) {
    return (entry >> 8) & 0xF;
}
constexpr unsigned EntryValue(std::uint32_t entry) {
    return entry >> 16;
}

constexpr unsigned MaxCodeLength = 15;
constexpr unsigned NumLitLenSymbols = 288;
constexpr unsigned NumDistSymbols = 32;
constexpr unsigned NumPrecodeSymbols = 19;

constexpr unsigned LitLenTableBits = 11;
constexpr unsigned DistTableBits = 8;
constexpr unsigned PrecodeTableBits = 7;

// Root table plus, at worst, one subtable of the longest codeword's size per
// symbol whose codeword is longer than the root.
constexpr std::size_t LitLenTableSize =
    (1u << LitLenTableBits) + NumLitLenSymbols * (1u << (MaxCodeLength - LitLenTableBits));
constexpr std::size_t DistTableSize =
    (1u << DistTableBits) + NumDistSymbols * (1u << (MaxCodeLength - DistTableBits));
constexpr std::size_t PrecodeTableSize = 1u << PrecodeTableBits;

struct TDeflateFormat {
    std::uint32_t windowSize;
    // One entry template per symbol (value, flags and extra bits, no codeword).
    std::uint32_t litLenSymbols[NumLitLenSymbols];
    std::uint32_t distSymbols[NumDistSymbols];
    std::uint32_t precodeSymbols[NumPrecodeSymbols];
    // Whether a dynamic header may announce at most 286 literal/length and 30
    // distance codes (deflate); Deflate64 does not check.
    bool limitCodeCounts;
};

const TDeflateFormat& DeflateFormat();
const TDeflateFormat& Deflate64Format();

// Builds a decode table for a canonical Huffman code given by one length
// (0..15, 0 = unused) per symbol. false: the lengths are over-subscribed or the
// subtables do not fit. Unused codewords of an incomplete code decode as
// EntryInvalid.
bool BuildDecodeTable(std::uint32_t* table, std::size_t capacity, unsigned tableBits,
                      const std::uint8_t* lengths, unsigned numSymbols,
                      const std::uint32_t* symbolEntries);

} // namespace archive::inflate
