// The input of the shrink, reduce and implode decoders: the entry's compressed
// bytes, read through the source in blocks of up to 32768 bytes and handed out
// least significant bit first, as those formats pack their codes.
#pragma once

#include "archive/Decoders.h"

#include <cstdint>
#include <memory>

namespace archive {

class TBitInput {
public:
    static constexpr int EndMark = -1;

    TBitInput(TDecodeSource& source, TDecodeSink& sink);

    // The next n bits (n <= 16) as an unsigned number, or EndMark when the
    // input ends (or the run is cancelled) before n bits were collected.
    int Bits(int n) {
        while (bitCount < n) {
            int byte = Byte();
            if (byte == EndMark) return EndMark;
            bitBuffer |= std::uint32_t(byte) << bitCount;
            bitCount += 8;
        }
        int value = int(bitBuffer & ((1u << n) - 1));
        bitBuffer >>= n;
        bitCount -= n;
        return value;
    }

    // Whether the input ended because the run was cancelled.
    bool Cancelled() const { return cancelled; }

private:
    int Byte() {
        if (position == fill && !Refill()) return EndMark;
        return buffer[position++];
    }
    bool Refill();

    TDecodeSource& source;
    TDecodeSink& sink;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t position = 0;
    std::size_t fill = 0;
    bool ended = false;
    bool cancelled = false;
    std::uint32_t bitBuffer = 0;
    int bitCount = 0;
};

} // namespace archive
