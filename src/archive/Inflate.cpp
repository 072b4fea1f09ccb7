#include "archive/Inflate.h"

#include "archive/Inflater.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace archive {
namespace inflate {
namespace {

// RFC 1951 3.2.7: the order in which the code length code lengths are sent.
constexpr std::uint8_t PrecodeOrder[NumPrecodeSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

} // namespace

// RFC 1951 3.2.3: blocks, each with a last-block bit and a 2-bit type.
TDecodeResult TInflater::Run() {
    bool last = false;
    while (!last) {
        if (sink.Cancelled()) {
            result = TDecodeResult::Cancelled;
            break;
        }
        in.Refill();
        last = in.Take(1) == 1;
        unsigned type = in.Take(2);
        TStep step = TStep::Stop;
        if (type == 0)
            step = StoredBlock();
        else if (type == 1)
            step = FixedBlock();
        else if (type == 2)
            step = DynamicBlock();
        else
            Fail(TDecodeResult::DataError); // block type 3 is reserved
        if (step == TStep::Stop) break;
        if (in.Overread()) { // the block used bits past the data's end
            result = TDecodeResult::DataError;
            break;
        }
    }
    return Finish();
}

// Hands on what was decoded and gives back the input read but not used. Once
// the entry's size has been produced, decoding goes on only through codes that
// produce nothing (the end of the block, empty blocks), so a well-formed
// stream is used up exactly; whatever follows the last byte of the entry does
// not make the entry fail.
TDecodeResult TInflater::Finish() {
    bool aligned = in.AlignToByte();
    if (result == TDecodeResult::Ok && !aligned) result = TDecodeResult::DataError;
    if (result == TDecodeResult::DataError && out.SizeReached()) result = TDecodeResult::Ok;
    if (result != TDecodeResult::WriteFailed && result != TDecodeResult::Cancelled) {
        TDecodeResult drained = out.Drain();
        if (drained != TDecodeResult::Ok) result = drained;
    }
    source.Unread(in.Unused());
    return result;
}

// RFC 1951 3.2.4: byte-aligned LEN, its complement NLEN, then LEN bytes as they are.
TStep TInflater::StoredBlock() {
    if (!in.AlignToByte()) return Fail(TDecodeResult::DataError);
    std::uint8_t header[4];
    for (std::uint8_t& byte : header) {
        if (in.next == in.end && !in.TopUp()) return Fail(TDecodeResult::DataError);
        byte = *in.next++;
    }
    unsigned length = header[0] | header[1] << 8;
    unsigned complement = header[2] | header[3] << 8;
    if (length != (~complement & 0xFFFF)) return Fail(TDecodeResult::DataError); // NLEN mismatch
    while (length > 0) {
        if (in.next == in.end && !in.TopUp()) return Fail(TDecodeResult::DataError); // truncated
        if (out.next == out.limit && MakeRoom() == TStep::Stop) return TStep::Stop;
        std::size_t n = std::min<std::size_t>(
            {length, std::size_t(in.end - in.next), std::size_t(out.limit - out.next)});
        std::memcpy(out.next, in.next, n);
        in.next += n;
        out.next += n;
        length -= unsigned(n);
    }
    return TStep::More;
}

// RFC 1951 3.2.6: literal/lengths 0-143 of 8 bits, 144-255 of 9, 256-279 of 7,
// 280-287 of 8; all 32 distance codes of 5 bits. Built once per entry.
TStep TInflater::FixedBlock() {
    if (!fixedTablesLoaded) {
        std::uint8_t lengths[NumLitLenSymbols + NumDistSymbols];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        std::fill(lengths + 288, lengths + 320, 5);
        BuildDecodeTable(litLenTable, LitLenTableSize, LitLenTableBits, lengths, NumLitLenSymbols,
                         format.litLenSymbols);
        BuildDecodeTable(distTable, DistTableSize, DistTableBits, lengths + NumLitLenSymbols,
                         NumDistSymbols, format.distSymbols);
        fixedTablesLoaded = true;
    }
    return HuffmanBlock();
}

// RFC 1951 3.2.7: HLIT, HDIST and HCLEN, the code length code, then the code
// lengths of both codes in one run, compressed with it.
TStep TInflater::DynamicBlock() {
    unsigned litLenCount = in.Take(5) + 257;
    unsigned distCount = in.Take(5) + 1;
    unsigned precodeCount = in.Take(4) + 4;
    if (format.limitCodeCounts && litLenCount > 286) return Fail(TDecodeResult::DataError);
    if (format.limitCodeCounts && distCount > 30) return Fail(TDecodeResult::DataError);

    std::uint8_t precodeLengths[NumPrecodeSymbols] = {};
    for (unsigned i = 0; i < precodeCount; ++i) {
        if (in.count < 3) in.Refill();
        precodeLengths[PrecodeOrder[i]] = std::uint8_t(in.Take(3));
    }
    if (!BuildDecodeTable(precodeTable, PrecodeTableSize, PrecodeTableBits, precodeLengths,
                          NumPrecodeSymbols, format.precodeSymbols))
        return Fail(TDecodeResult::DataError); // over-subscribed code length code

    std::uint8_t lengths[NumLitLenSymbols + NumDistSymbols];
    if (ReadCodeLengths(lengths, litLenCount + distCount) == TStep::Stop) return TStep::Stop;
    if (lengths[256] == 0) return Fail(TDecodeResult::DataError); // no end-of-block code
    if (!BuildDecodeTable(litLenTable, LitLenTableSize, LitLenTableBits, lengths, litLenCount,
                          format.litLenSymbols))
        return Fail(TDecodeResult::DataError); // over-subscribed literal/length code
    if (!BuildDecodeTable(distTable, DistTableSize, DistTableBits, lengths + litLenCount, distCount,
                          format.distSymbols))
        return Fail(TDecodeResult::DataError); // over-subscribed distance code
    fixedTablesLoaded = false;
    return HuffmanBlock();
}

// Code length symbols: 0-15 a length; 16 repeats the previous length 3-6
// times; 17 and 18 give 3-10 and 11-138 zeros.
TStep TInflater::ReadCodeLengths(std::uint8_t* lengths, unsigned count) {
    unsigned i = 0;
    while (i < count) {
        in.Refill();
        std::uint32_t entry = in.Lookup(precodeTable, PrecodeTableBits);
        if (entry & EntryExceptional) return Fail(TDecodeResult::DataError); // unused codeword
        in.Drop(EntryBits(entry));
        unsigned symbol = EntryValue(entry);
        if (symbol < 16) {
            lengths[i++] = std::uint8_t(symbol);
            continue;
        }
        std::uint8_t value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (i == 0) return Fail(TDecodeResult::DataError); // nothing to repeat
            value = lengths[i - 1];
            repeat = 3 + in.Take(2);
        } else if (symbol == 17) {
            repeat = 3 + in.Take(3);
        } else {
            repeat = 11 + in.Take(7);
        }
        if (repeat > count - i) return Fail(TDecodeResult::DataError); // runs past the lengths
        std::fill(lengths + i, lengths + i + repeat, value);
        i += repeat;
    }
    if (in.Overread()) return Fail(TDecodeResult::DataError);
    return TStep::More;
}

// Literals and matches up to the end-of-block code: the fast loop while input
// and room are plentiful, one careful symbol at a time near either end.
TStep TInflater::HuffmanBlock() {
    for (;;) {
        TStep step = FastSymbols();
        if (step != TStep::More) return step;
        if (std::size_t(in.end - in.next) <= TInflateInput::InputMargin) in.TopUp();
        step = Symbol();
        if (step != TStep::More) return step;
    }
}

} // namespace inflate

TDecodeResult Inflate(TInflateVariant variant, TDecodeSource& source, TDecodeSink& sink,
                      std::uint64_t size) {
    const inflate::TDeflateFormat& format = variant == TInflateVariant::Deflate64
                                                ? inflate::Deflate64Format()
                                                : inflate::DeflateFormat();
    // The decode tables make the state too large for a small thread stack.
    auto inflater = std::make_unique<inflate::TInflater>(format, source, sink, size);
    return inflater->Run();
}

} // namespace archive
