#include "archive/Decoders.h"

#include "archive/Explode.h"
#include "archive/Inflate.h"
#include "archive/Unreduce.h"
#include "archive/Unshrink.h"

namespace archive {

TDecodeResult DecodeEntry(const TDecodeEntry& entry, TDecodeSource& source, TDecodeSink& sink) {
    bool known = (entry.method >= 1 && entry.method <= 6) || entry.method == 8 || entry.method == 9;
    if (!known) return TDecodeResult::Unsupported;
    if (sink.Cancelled()) return TDecodeResult::Cancelled;
    // An empty entry may have no data at all (shrink and reduce have no end
    // code to read); there is nothing to decode.
    if (entry.uncompressedSize == 0) return TDecodeResult::Ok;
    switch (entry.method) {
    case 1:
        return Unshrink(source, sink, entry.uncompressedSize);
    case 6:
        return Explode(entry.flags, source, sink, entry.uncompressedSize);
    case 8:
        return Inflate(TInflateVariant::Deflate, source, sink, entry.uncompressedSize);
    case 9:
        return Inflate(TInflateVariant::Deflate64, source, sink, entry.uncompressedSize);
    default: // 2 to 5: the compression factor is the method less one
        return Unreduce(entry.method - 1, source, sink, entry.uncompressedSize);
    }
}

} // namespace archive
