#include "archive/Decoders.h"

namespace archive {

// Placeholder until the decoders of compressed methods land.
TDecodeResult DecodeEntry(const TDecodeEntry&, TDecodeSource&, TDecodeSink&) {
    return TDecodeResult::Unsupported;
}

} // namespace archive
