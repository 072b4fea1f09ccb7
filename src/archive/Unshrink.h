// Method 1, shrinking: dynamic LZW with 9- to 13-bit codes and partial clearing
// (APPNOTE "UnShrinking").
#pragma once

#include "archive/Decoders.h"

namespace archive {

TDecodeResult Unshrink(TDecodeSource& source, TDecodeSink& sink, std::uint64_t size);

} // namespace archive
