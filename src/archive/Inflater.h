// The inflate engine's decoder state, shared by its block-level code
// (Inflate.cpp) and its symbol-level code (InflateSymbols.cpp).
#pragma once

#include "archive/Decoders.h"
#include "archive/InflateInput.h"
#include "archive/InflateOutput.h"
#include "archive/InflateTables.h"

namespace archive::inflate {

// What a step of block decoding leaves behind: go on, the block has ended, or
// decoding stops with result (Ok once the entry's size is reached).
enum class TStep { More, BlockEnd, Stop };

class TInflater {
public:
    TInflater(const TDeflateFormat& format, TDecodeSource& source, TDecodeSink& sink,
              std::uint64_t size)
        : format(format), source(source), sink(sink), in(source),
          out(sink, format.windowSize, size) {}

    TDecodeResult Run();

private:
    TStep StoredBlock();
    TStep FixedBlock();
    TStep DynamicBlock();
    TStep ReadCodeLengths(std::uint8_t* lengths, unsigned count);
    TStep HuffmanBlock();
    TStep FastSymbols();
    TStep Symbol();
    TStep CopyMatch(std::size_t distance, unsigned length);
    TStep MakeRoom();
    TStep Fail(TDecodeResult why) {
        result = why;
        return TStep::Stop;
    }
    TDecodeResult Finish();

    const TDeflateFormat& format;
    TDecodeSource& source;
    TDecodeSink& sink;
    TInflateInput in;
    TInflateOutput out;
    TDecodeResult result = TDecodeResult::Ok;
    bool fixedTablesLoaded = false;
    std::uint32_t litLenTable[LitLenTableSize];
    std::uint32_t distTable[DistTableSize];
    std::uint32_t precodeTable[PrecodeTableSize];
};

} // namespace archive::inflate
