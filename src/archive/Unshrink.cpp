#include "archive/Unshrink.h"

#include "archive/BitInput.h"
#include "archive/DecodeOutput.h"

#include <memory>

namespace archive {
namespace {

constexpr int ControlCode = 256;
constexpr int FirstFreeCode = 257;
constexpr int MaxCode = 8191;
constexpr int MinCodeSize = 9;
constexpr int MaxCodeSize = 13;
constexpr int StackSize = 8192;
constexpr int FreeCode = -1; // prefix of an unused table entry

// The string table: each code above 256 is (prefix code, last byte). A code's
// child count says how many entries use it as their prefix, which is what a
// partial clear asks ("is it a leaf?").
struct TShrinkTable {
    std::int32_t prefix[MaxCode + 1];
    std::uint8_t character[MaxCode + 1];
    std::uint16_t children[MaxCode + 1];
    std::uint16_t freeCodes[MaxCode + 1 - FirstFreeCode]; // ascending
    int freeCount;
    int freeNext;
    std::uint8_t stack[StackSize];
};

class TUnshrinker {
public:
    TUnshrinker(TDecodeSource& source, TDecodeSink& sink, std::uint64_t size)
        : input(source, sink), output(sink, size), table(std::make_unique<TShrinkTable>()) {}

    TDecodeResult Run();

private:
    void InitTable();
    void PartialClear();
    bool IsFree(int code) const { return code > 255 && table->prefix[code] == FreeCode; }
    int NextFreeCode() const {
        return table->freeNext < table->freeCount ? table->freeCodes[table->freeNext] : FreeCode;
    }
    void AddCode(int prefix, std::uint8_t character);
    TDecodeResult ControlSequence();
    TDecodeResult OutputString(int code, std::uint8_t& first);
    TDecodeResult End(TDecodeResult result) {
        if (result == TDecodeResult::Ok && input.Cancelled()) result = TDecodeResult::Cancelled;
        return output.End(result);
    }

    TBitInput input;
    TDecodeOutput output;
    std::unique_ptr<TShrinkTable> table;
    int codeSize = MinCodeSize;
    int previous = 0;
    std::uint8_t previousFirst = 0; // first byte of the previous code's string
    bool stopped = false;           // the entry's size was reached or the writer failed
};

void TUnshrinker::InitTable() {
    for (int code = 0; code <= MaxCode; ++code) {
        table->prefix[code] = code < ControlCode ? code : FreeCode;
        table->character[code] = std::uint8_t(code);
        table->children[code] = 0;
    }
    table->freeCount = 0;
    for (int code = FirstFreeCode; code <= MaxCode; ++code)
        table->freeCodes[table->freeCount++] = std::uint16_t(code);
    table->freeNext = 0;
}

// Partial clear (control sequence 256, 2): every code that is a leaf at this
// moment is freed, and the free codes are re-issued lowest first. A prefix
// that loses its last child here is not a leaf yet: it stays until the next
// clear, as the encoder keeps it.
void TUnshrinker::PartialClear() {
    int count = 0;
    for (int code = FirstFreeCode; code <= MaxCode; ++code)
        if (table->children[code] == 0) table->freeCodes[count++] = std::uint16_t(code);
    for (int i = 0; i < count; ++i) {
        int code = table->freeCodes[i];
        int prefix = table->prefix[code];
        if (prefix != FreeCode) --table->children[prefix];
        table->prefix[code] = FreeCode;
    }
    table->freeCount = count;
    table->freeNext = 0;
}

void TUnshrinker::AddCode(int prefix, std::uint8_t character) {
    int code = NextFreeCode();
    if (code == FreeCode) return; // table full until the next partial clear
    ++table->freeNext;
    table->prefix[code] = prefix;
    table->character[code] = character;
    ++table->children[prefix];
}

// After code 256: 1 widens the codes by one bit, 2 is a partial clear.
TDecodeResult TUnshrinker::ControlSequence() {
    int value = input.Bits(codeSize);
    if (value == TBitInput::EndMark) return TDecodeResult::Ok;
    if (value == 1 && codeSize < MaxCodeSize)
        ++codeSize;
    else if (value == 2)
        PartialClear();
    else
        return TDecodeResult::BadBlock; // unknown control code, or a 14-bit code size
    return TDecodeResult::Ok;
}

// Writes the string of code: its prefix chain is walked backwards onto the
// stack, then written first byte first. A free code on the chain is the one
// about to be added (KwKwK): its string is the previous string plus that
// string's first byte.
TDecodeResult TUnshrinker::OutputString(int code, std::uint8_t& first) {
    int top = 0;
    while (code > 255) {
        if (top == StackSize) return TDecodeResult::StackOverflow;
        if (IsFree(code)) {
            if (code != NextFreeCode() || IsFree(previous)) return TDecodeResult::BadBlock;
            table->stack[top++] = previousFirst;
            code = previous;
            continue;
        }
        table->stack[top++] = table->character[code];
        code = table->prefix[code];
    }
    first = std::uint8_t(code);
    stopped = !output.Put(first);
    while (top > 0 && !stopped)
        stopped = !output.Put(table->stack[--top]);
    return TDecodeResult::Ok;
}

TDecodeResult TUnshrinker::Run() {
    InitTable();
    int code = input.Bits(codeSize);
    if (code == TBitInput::EndMark) return End(TDecodeResult::BadBlock); // no first code
    if (code > 255) return End(TDecodeResult::BadBlock); // the first code must be a byte
    previous = code;
    previousFirst = std::uint8_t(code);
    if (!output.Put(std::uint8_t(code))) return End(TDecodeResult::Ok);
    for (;;) {
        code = input.Bits(codeSize);
        if (code == TBitInput::EndMark) break;
        if (code == ControlCode) {
            TDecodeResult result = ControlSequence();
            if (result != TDecodeResult::Ok) return End(result);
            continue;
        }
        if (code > MaxCode) return End(TDecodeResult::BadBlock);
        std::uint8_t first = 0;
        TDecodeResult result = OutputString(code, first);
        if (result != TDecodeResult::Ok) return End(result);
        if (stopped) break;
        // The new entry is the previous string extended by this string's first byte.
        AddCode(previous, first);
        previous = code;
        previousFirst = first;
    }
    return End(TDecodeResult::Ok);
}

} // namespace

TDecodeResult Unshrink(TDecodeSource& source, TDecodeSink& sink, std::uint64_t size) {
    return TUnshrinker(source, sink, size).Run();
}

} // namespace archive
