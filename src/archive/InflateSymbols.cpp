// Symbol-level decoding of Huffman blocks (RFC 1951 3.2.5): the fast loop and
// the careful one-symbol step, and match copying.
#include "archive/Inflater.h"

#include <algorithm>
#include <cstring>

namespace archive::inflate {
namespace {

constexpr unsigned MaxFastLength = 258;  // longer matches (Deflate64) take the careful copy
constexpr unsigned MaxDistanceBits = 29; // distance codeword plus extra bits (Deflate64)
// Room the fast loop needs for one round: two literals, then a match whose
// word copies write up to 264 bytes (258 rounded up to whole words).
constexpr std::size_t OutputMargin = 2 + 264;

// Copies a match of at most MaxFastLength bytes in whole words: it may write
// up to 23 bytes past the match, into room the fast loop keeps free.
inline void CopyMatchFast(std::uint8_t* to, std::size_t distance, unsigned length) {
    const std::uint8_t* from = to - distance;
    std::uint8_t* end = to + length;
    if (distance >= 8) {
        // Each word's source lies wholly before it: 8 or more bytes back. The
        // first three words go unconditionally; most matches are that short.
        std::memcpy(to, from, 8);
        std::memcpy(to + 8, from + 8, 8);
        std::memcpy(to + 16, from + 16, 8);
        to += 24;
        from += 24;
        while (to < end) {
            std::memcpy(to, from, 8);
            to += 8;
            from += 8;
        }
    } else if (distance == 1) {
        std::uint64_t run = 0x0101010101010101ull * *from;
        do {
            std::memcpy(to, &run, 8);
            to += 8;
        } while (to < end);
    } else {
        do
            *to++ = *from++;
        while (to < end);
    }
}

// Length or distance: the base plus the extra bits that follow the codeword.
inline unsigned BasePlusExtra(std::uint32_t entry, std::uint64_t bits) {
    return EntryValue(entry) +
           unsigned((bits & LowBits(EntryBits(entry))) >> EntryCodeLength(entry));
}

} // namespace

// The hot loop. Bit buffer and pointers live in locals (byte stores would
// otherwise force the compiler to reload them from the object); each round
// refills once without branching and decodes one literal or match. It runs
// while InputMargin bytes of input and OutputMargin bytes of room remain.
TStep TInflater::FastSymbols() {
    if (std::size_t(in.end - in.next) <= TInflateInput::InputMargin) return TStep::More;
    if (std::size_t(out.limit - out.next) <= OutputMargin) return TStep::More;
    std::uint64_t bits = in.bits;
    unsigned count = in.count;
    const std::uint8_t* next = in.next;
    const std::uint8_t* const inLast = in.end - TInflateInput::InputMargin;
    std::uint8_t* to = out.next;
    std::uint8_t* const toLast = out.limit - OutputMargin;
    const std::uint8_t* const start = out.Start();
    const std::uint32_t* const litLen = litLenTable;
    const std::uint32_t* const dist = distTable;
    TStep step = TStep::More;

    // A literal/length codeword with its subtable step takes at most 15 bits.
    auto lookup = [&bits, &count, litLen] {
        std::uint32_t entry = litLen[bits & LowBits(LitLenTableBits)];
        if (entry & EntrySubtable) {
            bits >>= LitLenTableBits;
            count -= LitLenTableBits;
            entry = litLen[EntryValue(entry) + (bits & LowBits(EntryCodeLength(entry)))];
        }
        return entry;
    };
    while (next < inLast && to < toLast) {
        TInflateInput::RefillFast(bits, count, next);
        std::uint32_t entry = lookup();
        if (entry & EntryLiteral) {
            // Up to three literals per refill: 56 bits hold three codewords and
            // the lookup of a fourth.
            bits >>= EntryBits(entry);
            count -= EntryBits(entry);
            *to++ = std::uint8_t(EntryValue(entry));
            entry = lookup();
            if (entry & EntryLiteral) {
                bits >>= EntryBits(entry);
                count -= EntryBits(entry);
                *to++ = std::uint8_t(EntryValue(entry));
                entry = lookup();
                if (entry & EntryLiteral) {
                    bits >>= EntryBits(entry);
                    count -= EntryBits(entry);
                    *to++ = std::uint8_t(EntryValue(entry));
                    continue;
                }
            }
            // Refilling adds bits above the ones the lookup used: entry stands.
            TInflateInput::RefillFast(bits, count, next);
        }
        if (entry & EntryExceptional) {
            if (!(entry & EntryEndOfBlock)) { // a codeword no symbol has
                step = Fail(TDecodeResult::DataError);
                break;
            }
            bits >>= EntryBits(entry);
            count -= EntryBits(entry);
            step = TStep::BlockEnd;
            break;
        }
        unsigned length = BasePlusExtra(entry, bits);
        bits >>= EntryBits(entry);
        count -= EntryBits(entry);

        if (count < MaxDistanceBits) TInflateInput::RefillFast(bits, count, next);
        entry = dist[bits & LowBits(DistTableBits)];
        if (entry & EntrySubtable) {
            bits >>= DistTableBits;
            count -= DistTableBits;
            entry = dist[EntryValue(entry) + (bits & LowBits(EntryCodeLength(entry)))];
        }
        if (entry & EntryExceptional) { // distance code 30 or 31 in deflate, or unused
            step = Fail(TDecodeResult::DataError);
            break;
        }
        std::size_t distance = BasePlusExtra(entry, bits);
        bits >>= EntryBits(entry);
        count -= EntryBits(entry);
        if (distance > std::size_t(to - start)) { // before the first byte of the entry
            step = Fail(TDecodeResult::DataError);
            break;
        }
        if (length > MaxFastLength) { // Deflate64's long matches may need a drain, which
            in.bits = bits;           // moves the room: the loop starts over after it
            in.count = count;
            in.next = next;
            out.next = to;
            return CopyMatch(distance, length);
        }
        CopyMatchFast(to, distance, length);
        to += length;
    }
    in.bits = bits;
    in.count = count;
    in.next = next;
    out.next = to;
    return step;
}

// One literal, match or end of block, with every refill and every byte of
// room checked: used near the end of the input or of the room.
TStep TInflater::Symbol() {
    in.Refill();
    std::uint32_t entry = in.Lookup(litLenTable, LitLenTableBits);
    if (entry & EntryExceptional && !(entry & EntryEndOfBlock))
        return Fail(TDecodeResult::DataError); // a codeword no symbol has
    if (entry & (EntryLiteral | EntryEndOfBlock)) in.Drop(EntryBits(entry));
    if (in.Overread()) return Fail(TDecodeResult::DataError); // the data ended inside the symbol
    if (entry & EntryEndOfBlock) return TStep::BlockEnd;
    if (entry & EntryLiteral) {
        if (out.next == out.limit && MakeRoom() == TStep::Stop) return TStep::Stop;
        *out.next++ = std::uint8_t(EntryValue(entry));
        return TStep::More;
    }
    unsigned length = BasePlusExtra(entry, in.bits);
    in.Drop(EntryBits(entry));
    in.Refill();
    entry = in.Lookup(distTable, DistTableBits);
    if (entry & EntryExceptional) return Fail(TDecodeResult::DataError); // unused distance code
    std::size_t distance = BasePlusExtra(entry, in.bits);
    in.Drop(EntryBits(entry));
    if (in.Overread()) return Fail(TDecodeResult::DataError);
    if (distance > std::size_t(out.next - out.Start())) return Fail(TDecodeResult::DataError);
    return CopyMatch(distance, length);
}

// Copies a match of any length, making room as it goes. The distance has been
// checked against the bytes produced; after a slide the window still holds
// them, as no distance exceeds the window.
TStep TInflater::CopyMatch(std::size_t distance, unsigned length) {
    while (length > 0) {
        if (out.next == out.limit && MakeRoom() == TStep::Stop) return TStep::Stop;
        unsigned n = unsigned(std::min<std::size_t>(length, std::size_t(out.limit - out.next)));
        std::uint8_t* to = out.next;
        const std::uint8_t* from = to - distance;
        for (unsigned i = 0; i < n; ++i)
            to[i] = from[i]; // bytewise: the source may overlap
        out.next += n;
        length -= n;
    }
    return TStep::More;
}

// Called when the room is used up: either the entry is complete (and decoding
// stops before the byte that would pass its size) or the new bytes go to the
// sink.
TStep TInflater::MakeRoom() {
    if (out.SizeReached()) return Fail(TDecodeResult::Ok);
    TDecodeResult drained = out.Drain();
    if (drained != TDecodeResult::Ok) return Fail(drained);
    return TStep::More;
}

} // namespace archive::inflate
