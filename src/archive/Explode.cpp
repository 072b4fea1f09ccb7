#include "archive/Explode.h"

#include "archive/BitInput.h"
#include "archive/DecodeOutput.h"
#include "archive/ShannonFanoTree.h"

#include <memory>
#include <vector>

namespace archive {
namespace {

constexpr std::uint16_t FlagLargeWindow = 0x02;
constexpr std::uint16_t FlagLiteralTree = 0x04;

class TExploder {
public:
    TExploder(std::uint16_t flags, TDecodeSource& source, TDecodeSink& sink, std::uint64_t size)
        : input(source, sink), output(sink, size), size(size),
          windowSize((flags & FlagLargeWindow) ? 8192 : 4096),
          lowDistanceBits((flags & FlagLargeWindow) ? 7 : 6),
          hasLiteralTree(flags & FlagLiteralTree), minMatch(hasLiteralTree ? 3 : 2),
          window(std::size_t(windowSize)) {}

    TDecodeResult Run();

private:
    TDecodeResult ReadTrees();
    bool Literal(TDecodeResult& error);
    bool Match(TDecodeResult& error);
    bool Emit(std::uint8_t byte) {
        window[windowPosition] = byte;
        windowPosition = (windowPosition + 1) & (windowSize - 1);
        return output.Put(byte);
    }
    TDecodeResult End(TDecodeResult result) {
        if (input.Cancelled()) result = TDecodeResult::Cancelled;
        return output.End(result);
    }

    TBitInput input;
    TDecodeOutput output;
    std::uint64_t size;
    int windowSize;
    int lowDistanceBits;
    bool hasLiteralTree;
    int minMatch;
    std::vector<std::uint8_t> window; // starts cleared: bytes before the entry read as zeros
    int windowPosition = 0;
    TShannonFanoTree literalTree{256};
    TShannonFanoTree lengthTree{64};
    TShannonFanoTree distanceTree{64};
};

// The trees come in the order literal (when present), length, distance.
TDecodeResult TExploder::ReadTrees() {
    TDecodeResult result = TDecodeResult::Ok;
    if (hasLiteralTree) result = literalTree.Read(input);
    if (result == TDecodeResult::Ok) result = lengthTree.Read(input);
    if (result == TDecodeResult::Ok) result = distanceTree.Read(input);
    return result;
}

bool TExploder::Literal(TDecodeResult& error) {
    int byte = hasLiteralTree ? literalTree.Decode(input, error) : input.Bits(8);
    if (byte == TBitInput::EndMark) return false;
    return Emit(std::uint8_t(byte));
}

// Low distance bits first, then the high six bits through the distance tree,
// then the length through the length tree (63 takes 8 more bits).
bool TExploder::Match(TDecodeResult& error) {
    int low = input.Bits(lowDistanceBits);
    if (low == TBitInput::EndMark) return false;
    int high = distanceTree.Decode(input, error);
    if (high == TBitInput::EndMark) return false;
    int length = lengthTree.Decode(input, error);
    if (length == TBitInput::EndMark) return false;
    if (length == 63) {
        int more = input.Bits(8);
        if (more == TBitInput::EndMark) return false;
        length += more;
    }
    length += minMatch;
    int distance = ((high << lowDistanceBits) | low) + 1; // at most the window size
    int from = (windowPosition - distance) & (windowSize - 1);
    for (int i = 0; i < length; ++i) {
        if (!Emit(window[std::size_t(from)])) return false;
        from = (from + 1) & (windowSize - 1);
    }
    return true;
}

TDecodeResult TExploder::Run() {
    TDecodeResult result = ReadTrees();
    if (result == TDecodeResult::TreeBuild) return result; // nothing decoded
    if (result != TDecodeResult::Ok) return End(result);
    while (output.Produced() < size) {
        int flag = input.Bits(1);
        if (flag == TBitInput::EndMark) break;
        bool more = flag == 1 ? Literal(result) : Match(result);
        if (!more) break;
    }
    // The data ends with the entry's size; input that runs out before is truncated.
    if (result == TDecodeResult::Ok && output.Produced() < size) result = TDecodeResult::DataError;
    return End(result);
}

} // namespace

TDecodeResult Explode(std::uint16_t flags, TDecodeSource& source, TDecodeSink& sink,
                      std::uint64_t size) {
    return TExploder(flags, source, sink, size).Run();
}

} // namespace archive
