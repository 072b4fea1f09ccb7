// The output of the shrink, reduce and implode decoders: a 32768-byte buffer
// handed to the sink whenever it fills and at the end of the entry. It stops
// taking bytes once the entry's uncompressed size has been produced, so no
// decoder writes more than the entry holds.
#pragma once

#include "archive/Decoders.h"

#include <cstdint>
#include <memory>

namespace archive {

class TDecodeOutput {
public:
    TDecodeOutput(TDecodeSink& sink, std::uint64_t size);

    // Appends one byte. false: stop decoding, because the entry's size has been
    // reached or the writer failed or the run was cancelled (see End).
    bool Put(std::uint8_t byte) {
        if (produced == size || failure != TDecodeResult::Ok) return false;
        buffer[fill++] = byte;
        ++produced;
        if (fill == BufferSize && !Flush()) return false;
        return produced != size;
    }

    std::uint64_t Produced() const { return produced; }

    // Hands the rest of the buffer to the sink and gives the entry's result: a
    // failed write or a cancelled run takes the place of Ok and DataError; the
    // decoders' named errors stand.
    TDecodeResult End(TDecodeResult result);

    static constexpr std::size_t BufferSize = 32768;

private:
    bool Flush();

    TDecodeSink& sink;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t fill = 0;
    std::uint64_t produced = 0;
    std::uint64_t size;
    TDecodeResult failure = TDecodeResult::Ok;
};

} // namespace archive
