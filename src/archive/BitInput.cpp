#include "archive/BitInput.h"

namespace archive {

namespace {
constexpr std::size_t InputBlock = 32768;
}

TBitInput::TBitInput(TDecodeSource& source, TDecodeSink& sink)
    : source(source), sink(sink), buffer(std::make_unique<std::uint8_t[]>(InputBlock)) {}

// Each refill is also where a cancelled run is noticed, so a decoder that
// produces little output still stops promptly.
bool TBitInput::Refill() {
    if (ended) return false;
    if (sink.Cancelled()) {
        cancelled = true;
        ended = true;
        return false;
    }
    position = 0;
    fill = source.Read(buffer.get(), InputBlock);
    if (fill == 0) ended = true;
    return fill != 0;
}

} // namespace archive
