// Methods 2 to 5, reducing with compression factor 1 to 4: follower-set
// probabilistic coding over a DLE-escaped LZ77 stream with a 4 KB window
// (APPNOTE "Expanding").
#pragma once

#include "archive/Decoders.h"

namespace archive {

// factor: 1 to 4 (the method less one).
TDecodeResult Unreduce(int factor, TDecodeSource& source, TDecodeSink& sink, std::uint64_t size);

} // namespace archive
