// The output of the inflate engine: one buffer holding the window (the last
// 32 or 64 KB already handed on, which matches may copy from) followed by room
// for new bytes. When the room is used up the new bytes go to the sink in
// chunks of at most 32768 bytes and the window slides to the buffer's front.
// The room ends early at the entry's uncompressed size, so nothing past it is
// ever produced.
#pragma once

#include "archive/Decoders.h"

#include <cstdint>
#include <memory>

namespace archive::inflate {

class TInflateOutput {
public:
    TInflateOutput(TDecodeSink& sink, std::uint32_t windowSize, std::uint64_t size);

    // Start of the bytes a match may copy from.
    const std::uint8_t* Start() const { return buffer.get(); }

    // Whether next stands at the entry's uncompressed size.
    bool SizeReached() const { return next == limit && limitIsSize; }

    // Makes room at next: hands the new bytes to the sink and slides the
    // window. Ok, WriteFailed or Cancelled.
    TDecodeResult Drain();

    std::uint8_t* next;  // where the next byte goes
    std::uint8_t* limit; // end of the room: the buffer's end or the entry's size

private:
    void SetLimit();

    TDecodeSink& sink;
    std::size_t windowSize;
    std::size_t capacity;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::uint8_t* pending;   // first byte not yet handed to the sink
    std::uint64_t remaining; // bytes of the entry not yet produced, counted at pending
    bool limitIsSize = false;
};

} // namespace archive::inflate
