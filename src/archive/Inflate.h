// Methods 8 and 9: raw deflate data (RFC 1951) and its Deflate64 variant, one
// engine whose format tables carry the difference. Decodes until the entry's
// uncompressed size has been produced or the stream's last block ends, and
// gives the source back the input it read ahead but did not use.
#pragma once

#include "archive/Decoders.h"

namespace archive {

enum class TInflateVariant { Deflate, Deflate64 };

TDecodeResult Inflate(TInflateVariant variant, TDecodeSource& source, TDecodeSink& sink,
                      std::uint64_t size);

} // namespace archive
