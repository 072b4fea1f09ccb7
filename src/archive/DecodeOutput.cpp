#include "archive/DecodeOutput.h"

namespace archive {

TDecodeOutput::TDecodeOutput(TDecodeSink& sink, std::uint64_t size)
    : sink(sink), buffer(std::make_unique<std::uint8_t[]>(BufferSize)), size(size) {}

bool TDecodeOutput::Flush() {
    if (failure != TDecodeResult::Ok) return false;
    if (sink.Cancelled())
        failure = TDecodeResult::Cancelled;
    else if (fill != 0 && !sink.Write(buffer.get(), fill))
        failure = TDecodeResult::WriteFailed;
    fill = 0;
    return failure == TDecodeResult::Ok;
}

TDecodeResult TDecodeOutput::End(TDecodeResult result) {
    Flush();
    bool replaceable = result == TDecodeResult::Ok || result == TDecodeResult::DataError;
    if (failure != TDecodeResult::Ok && replaceable) return failure;
    return result;
}

} // namespace archive
