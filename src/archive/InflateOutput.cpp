#include "archive/InflateOutput.h"

#include <algorithm>
#include <cstring>

namespace archive::inflate {
namespace {

// Room for new bytes between slides: large, so that sliding the window costs
// little beside decoding, and handed on in chunks of at most 32768 bytes.
constexpr std::size_t Room = 256 * 1024;
constexpr std::size_t WriteChunk = 32768;

} // namespace

// An entry smaller than window and room together needs no more than its size.
TInflateOutput::TInflateOutput(TDecodeSink& sink, std::uint32_t windowSize, std::uint64_t size)
    : sink(sink), windowSize(windowSize),
      capacity(std::size_t(std::min<std::uint64_t>(windowSize + Room, size))),
      buffer(std::make_unique_for_overwrite<std::uint8_t[]>(capacity)), remaining(size) {
    next = pending = buffer.get();
    SetLimit();
}

void TInflateOutput::SetLimit() {
    std::size_t room = capacity - std::size_t(next - buffer.get());
    limitIsSize = remaining <= room;
    limit = next + (limitIsSize ? std::size_t(remaining) : room);
}

TDecodeResult TInflateOutput::Drain() {
    while (pending < next) {
        if (sink.Cancelled()) return TDecodeResult::Cancelled;
        std::size_t chunk = std::min<std::size_t>(WriteChunk, std::size_t(next - pending));
        if (!sink.Write(pending, chunk)) return TDecodeResult::WriteFailed;
        pending += chunk;
        remaining -= chunk;
    }
    std::size_t used = std::size_t(next - buffer.get());
    if (used > windowSize) {
        std::memmove(buffer.get(), next - windowSize, windowSize);
        next = pending = buffer.get() + windowSize;
    }
    SetLimit();
    return TDecodeResult::Ok;
}

} // namespace archive::inflate
