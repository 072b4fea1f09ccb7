// Method 6, imploding: a 4 KB or 8 KB sliding window whose literals, lengths
// and distances are coded with two or three Shannon-Fano trees (APPNOTE
// "Imploding"). Flag bit 1 selects the 8 KB window, flag bit 2 the literal tree.
#pragma once

#include "archive/Decoders.h"

namespace archive {

TDecodeResult Explode(std::uint16_t flags, TDecodeSource& source, TDecodeSink& sink,
                      std::uint64_t size);

} // namespace archive
