// Test utility: writes bit streams least significant bit first, the order of
// deflate, shrink, reduce and implode, to build streams bit by bit in tests.
#pragma once

#include <cstdint>
#include <string>

namespace decodetest {

class TBitWriter {
public:
    // The low n bits of value, least significant first.
    TBitWriter& Bits(std::uint32_t value, int n) {
        for (int i = 0; i < n; ++i)
            Bit((value >> i) & 1);
        return *this;
    }
    // A Huffman or Shannon-Fano code of n bits, most significant bit first.
    TBitWriter& Code(std::uint32_t code, int n) {
        for (int i = n - 1; i >= 0; --i)
            Bit((code >> i) & 1);
        return *this;
    }
    TBitWriter& Bytes(const std::string& bytes) {
        for (unsigned char c : bytes)
            Bits(c, 8);
        return *this;
    }
    // Pads to a byte boundary with zero bits.
    TBitWriter& Align() {
        while (count != 0)
            Bit(0);
        return *this;
    }
    std::string Finish() {
        Align();
        return out;
    }

private:
    void Bit(std::uint32_t bit) {
        if (count == 0) out.push_back('\0');
        out.back() = char(std::uint8_t(out.back()) | bit << count);
        count = (count + 1) % 8;
    }

    std::string out;
    int count = 0;
};

} // namespace decodetest
