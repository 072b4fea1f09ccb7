#include "archive/InflateInput.h"

#include "archive/InflateTables.h"

#include <algorithm>

namespace archive::inflate {
namespace {

// The buffer keeps History bytes before next, so AlignToByte can give the bit
// buffer's whole bytes (at most 7) back; reads go in blocks of at most 32768.
constexpr std::size_t History = 8;
constexpr std::size_t BufferSize = 65536;
constexpr std::size_t ReadBlock = 32768;

} // namespace

TInflateInput::TInflateInput(TDecodeSource& source)
    : source(source), buffer(std::make_unique_for_overwrite<std::uint8_t[]>(History + BufferSize)) {
    std::memset(buffer.get(), 0, History);
    next = end = buffer.get() + History;
}

bool TInflateInput::TopUp() {
    if (exhausted) return false;
    std::uint8_t* base = buffer.get();
    std::size_t keep = std::size_t(end - next);
    std::size_t history = std::min<std::size_t>(History, std::size_t(next - base));
    std::memmove(base + History - history, next - history, history + keep);
    next = base + History;
    end = next + keep;
    std::size_t space = History + BufferSize - std::size_t(end - base);
    std::size_t got = source.Read(base + (end - base), std::min(space, ReadBlock));
    if (got == 0) exhausted = true;
    end += got;
    return got != 0;
}

void TInflateInput::RefillTail() {
    while (count <= 56) {
        if (next == end && !TopUp()) {
            ++overrun; // a zero byte past the end; harmless unless it is used
        } else {
            bits |= std::uint64_t(*next++) << count;
        }
        count += 8;
    }
}

std::uint32_t TInflateInput::Lookup(const std::uint32_t* table, unsigned tableBits) {
    std::uint32_t entry = table[Peek(tableBits)];
    if (entry & EntrySubtable) {
        Drop(tableBits);
        entry = table[EntryValue(entry) + Peek(EntryCodeLength(entry))];
    }
    return entry;
}

bool TInflateInput::AlignToByte() {
    Drop(count & 7);
    unsigned whole = count / 8;
    if (overrun > whole) return false; // bits past the data's end were used
    next -= whole - overrun;
    bits = 0;
    count = 0;
    overrun = 0;
    return true;
}

} // namespace archive::inflate
