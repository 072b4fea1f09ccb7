#include "archive/Decoders.h"

#include "archive/Explode.h"
#include "archive/Inflate.h"
#include "archive/Unreduce.h"
#include "archive/Unshrink.h"

namespace archive {

TDecodeResult DecodeEntry(const TDecodeEntry& entry, TDecodeSource& source, TDecodeSink& sink) {
    const bool known = (entry.method >= MethodShrunk && entry.method <= MethodImploded) ||
                       entry.method == MethodDeflated || entry.method == MethodDeflate64;
    if (!known) return TDecodeResult::Unsupported;
    if (sink.Cancelled()) return TDecodeResult::Cancelled;
    // An empty entry may have no data at all (shrink and reduce have no end
    // code to read); there is nothing to decode.
    if (entry.uncompressedSize == 0) return TDecodeResult::Ok;
    switch (entry.method) {
    case MethodShrunk:
        return Unshrink(source, sink, entry.uncompressedSize);
    case MethodImploded:
        return Explode(entry.flags, source, sink, entry.uncompressedSize);
    case MethodDeflated:
        return Inflate(TInflateVariant::Deflate, source, sink, entry.uncompressedSize);
    case MethodDeflate64:
        return Inflate(TInflateVariant::Deflate64, source, sink, entry.uncompressedSize);
    default: // reduced: the compression factor runs from 1 with the method
        return Unreduce(entry.method - MethodReduced1 + 1, source, sink, entry.uncompressedSize);
    }
}

} // namespace archive
