// The bit input of the inflate engine: a 64-bit bit buffer over a 64 KB input
// buffer filled from the source. The fast path refills without branches while
// at least InputMargin bytes remain in the buffer; the careful path tops the
// buffer up from the source and, past the end of the data, feeds zero bytes and
// counts them, so that a stream which needs them is found to be truncated.
#pragma once

#include "archive/Decoders.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace archive::inflate {

inline std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    value = __builtin_bswap64(value);
#endif
    return value;
}

constexpr std::uint64_t LowBits(unsigned n) {
    return (std::uint64_t(1) << n) - 1;
}

class TInflateInput {
public:
    // Bytes the fast path may read ahead of next: up to three refills in one
    // round, each advancing at most 7 bytes and loading 8.
    static constexpr std::size_t InputMargin = 32;

    explicit TInflateInput(TDecodeSource& source);

    // Fills the bit buffer to at least 56 bits; needs 8 bytes at next.
    static void RefillFast(std::uint64_t& bits, unsigned& count, const std::uint8_t*& in) {
        bits |= LoadLittleEndian64(in) << count;
        in += (63 - count) >> 3;
        count |= 56;
    }

    // Fills the bit buffer to at least 56 bits, reading from the source as
    // needed, and with zero bytes once its data has ended.
    void Refill() {
        if (std::size_t(end - next) < 8) TopUp();
        if (std::size_t(end - next) >= 8) return RefillFast(bits, count, next);
        RefillTail();
    }

    std::uint32_t Peek(unsigned n) const { return std::uint32_t(bits & LowBits(n)); }
    void Drop(unsigned n) {
        bits >>= n;
        count -= n;
    }
    std::uint32_t Take(unsigned n) {
        std::uint32_t value = Peek(n);
        Drop(n);
        return value;
    }

    // Looks up the next codeword in a decode table (following a subtable
    // pointer) without removing it. Needs the codeword's bits in the buffer.
    std::uint32_t Lookup(const std::uint32_t* table, unsigned tableBits);

    // Whether the bits used so far include zero bytes fed past the data's end.
    bool Overread() const { return std::uint64_t(overrun) * 8 > count; }

    // Moves unread bytes to the front of the buffer and reads more from the
    // source; false when the source has nothing more.
    bool TopUp();

    // Drops the bits of a partly used byte and gives the whole bytes still in
    // the bit buffer back to the byte buffer, so reading can go on bytewise (a
    // stored block) or the unused input can be counted. false: the data ended
    // before the bits used so far.
    bool AlignToByte();

    // Whole bytes read from the source but not yet used (after AlignToByte).
    std::size_t Unused() const { return std::size_t(end - next); }

    std::uint64_t bits = 0;
    unsigned count = 0; // valid bits in bits
    const std::uint8_t* next;
    const std::uint8_t* end;

private:
    void RefillTail();

    TDecodeSource& source;
    std::unique_ptr<std::uint8_t[]> buffer;
    bool exhausted = false;
    unsigned overrun = 0; // zero bytes fed past the data's end
};

} // namespace archive::inflate
