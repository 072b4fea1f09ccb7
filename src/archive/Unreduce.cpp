#include "archive/Unreduce.h"

#include "archive/BitInput.h"
#include "archive/DecodeOutput.h"

#include <memory>

namespace archive {
namespace {

constexpr int MaxFollowers = 32;
constexpr int WindowSize = 4096;
constexpr int DLE = 144;

struct TFollowerSets {
    std::uint8_t count[256];
    std::uint8_t followers[256][MaxFollowers];
    std::uint8_t window[WindowSize];
};

// B(N): the bits of an index into a follower set of N bytes.
int IndexBits(int n) {
    if (n <= 2) return 1;
    if (n <= 4) return 2;
    if (n <= 8) return 3;
    if (n <= 16) return 4;
    if (n <= 32) return 5;
    return 6;
}

class TUnreducer {
public:
    TUnreducer(int factor, TDecodeSource& source, TDecodeSink& sink, std::uint64_t size)
        : factor(factor), input(source, sink), output(sink, size),
          sets(std::make_unique<TFollowerSets>()) {}

    TDecodeResult Run();

private:
    TDecodeResult ReadFollowerSets();
    int NextByte(int last, TDecodeResult& error);
    bool Expand(int byte);
    bool Emit(std::uint8_t byte) {
        sets->window[windowPosition] = byte;
        windowPosition = (windowPosition + 1) % WindowSize;
        return output.Put(byte);
    }
    bool CopyMatch(int distance, int length);
    TDecodeResult End(TDecodeResult result) {
        if (result == TDecodeResult::Ok && input.Cancelled()) result = TDecodeResult::Cancelled;
        return output.End(result);
    }

    int factor;
    TBitInput input;
    TDecodeOutput output;
    std::unique_ptr<TFollowerSets> sets;
    int windowPosition = 0;
    int state = 0;
    int lengthByte = 0; // V of the expansion: length in its low bits, distance high bits above
    int length = 0;
};

// The sets come for the byte values 255 down to 0: a 6-bit count, then that
// many 8-bit followers.
TDecodeResult TUnreducer::ReadFollowerSets() {
    for (int value = 255; value >= 0; --value) {
        int count = input.Bits(6);
        if (count == TBitInput::EndMark) return TDecodeResult::DataError;
        if (count > MaxFollowers) return TDecodeResult::DataError; // a set holds at most 32 bytes
        sets->count[value] = std::uint8_t(count);
        for (int i = 0; i < count; ++i) {
            int follower = input.Bits(8);
            if (follower == TBitInput::EndMark) return TDecodeResult::DataError;
            sets->followers[value][i] = std::uint8_t(follower);
        }
    }
    return TDecodeResult::Ok;
}

// The next byte of the LZ77 stream: a literal, or an index into the follower
// set of the byte before it.
int TUnreducer::NextByte(int last, TDecodeResult& error) {
    int count = sets->count[last];
    if (count == 0) return input.Bits(8);
    int literal = input.Bits(1);
    if (literal == TBitInput::EndMark) return TBitInput::EndMark;
    if (literal == 1) return input.Bits(8);
    int index = input.Bits(IndexBits(count));
    if (index == TBitInput::EndMark) return TBitInput::EndMark;
    if (index >= count) { // an index past the end of its set
        error = TDecodeResult::DataError;
        return TBitInput::EndMark;
    }
    return sets->followers[last][index];
}

// Bytes before the start of the entry read as zeros: the window starts cleared.
bool TUnreducer::CopyMatch(int distance, int count) {
    int from = (windowPosition - distance + WindowSize) % WindowSize;
    for (int i = 0; i < count; ++i) {
        if (!Emit(sets->window[from])) return false;
        from = (from + 1) % WindowSize;
    }
    return true;
}

// The DLE expansion: 144 0 is a literal 144; 144 V [L] W is a match whose
// length and distance the compression factor splits out of V and W.
bool TUnreducer::Expand(int byte) {
    int lengthMask = 0x7F >> (factor - 1);
    switch (state) {
    case 0:
        if (byte != DLE) return Emit(std::uint8_t(byte));
        state = 1;
        return true;
    case 1:
        if (byte == 0) {
            state = 0;
            return Emit(DLE);
        }
        lengthByte = byte;
        length = byte & lengthMask;
        state = length == lengthMask ? 2 : 3;
        return true;
    case 2:
        length += byte;
        state = 3;
        return true;
    default: {
        state = 0;
        int distance = ((lengthByte >> (8 - factor)) << 8) + byte + 1;
        return CopyMatch(distance, length + 3);
    }
    }
}

TDecodeResult TUnreducer::Run() {
    TDecodeResult result = ReadFollowerSets();
    if (result != TDecodeResult::Ok) return End(result);
    int last = 0;
    for (;;) {
        int byte = NextByte(last, result);
        if (byte == TBitInput::EndMark) break;
        last = byte;
        if (!Expand(byte)) break;
    }
    return End(result);
}

} // namespace

TDecodeResult Unreduce(int factor, TDecodeSource& source, TDecodeSink& sink, std::uint64_t size) {
    return TUnreducer(factor, source, sink, size).Run();
}

} // namespace archive
