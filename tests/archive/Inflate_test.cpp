// Inflate (method 8) against zlib as the oracle, and against malformed streams.
#include "DecodeDeflateWriter.h"
#include "DecodeTestData.h"
#include "DecodeTestZip.h"

#include <gtest/gtest.h>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

struct TRoundTrip {
    TDataKind kind;
    std::size_t size;
    int level;
    int strategy;
    std::vector<std::size_t> chunks; // sizes of the source's reads
};

void PrintTo(const TRoundTrip& c, std::ostream* os) {
    *os << c.size << " bytes, level " << c.level << ", strategy " << c.strategy;
}

class InflateRoundTrip : public testing::TestWithParam<TRoundTrip> {};

// The output equals zlib's input, and the source gets back exactly the bytes
// after the deflate stream.
TEST_P(InflateRoundTrip, MatchesZlib) {
    const TRoundTrip& c = GetParam();
    std::string data = MakeTestData(c.kind, c.size, std::uint32_t(c.size + c.level));
    std::string deflated = RawDeflate(data, c.level, c.strategy);
    TMemorySource source(deflated + "NEXT HEADER", c.chunks);
    TMemorySink sink;
    archive::TDecodeEntry entry{8, 0, deflated.size(), data.size()};
    EXPECT_EQ(archive::DecodeEntry(entry, source, sink), TDecodeResult::Ok);
    EXPECT_TRUE(sink.output == data) << "output differs from the data deflated";
    EXPECT_EQ(source.Position(), deflated.size());
}

const std::vector<std::size_t> OddReads = {1, 7, 13, 4093, 2, 32768, 5};

INSTANTIATE_TEST_SUITE_P(
    Data, InflateRoundTrip,
    testing::Values(TRoundTrip{TDataKind::Text, 1, 6, Z_DEFAULT_STRATEGY, {}},
                    TRoundTrip{TDataKind::Text, 100, 6, Z_DEFAULT_STRATEGY, {1}},
                    TRoundTrip{TDataKind::Random, 1000, 0, Z_DEFAULT_STRATEGY, OddReads},
                    TRoundTrip{TDataKind::Text, 32767, 1, Z_DEFAULT_STRATEGY, OddReads},
                    TRoundTrip{TDataKind::Mixed, 32768, 9, Z_DEFAULT_STRATEGY, {3}},
                    TRoundTrip{TDataKind::Runs, 32769, 6, Z_RLE, OddReads},
                    TRoundTrip{TDataKind::Mixed, 65536 + 17, 6, Z_FIXED, OddReads},
                    TRoundTrip{TDataKind::Text, 200000, 6, Z_HUFFMAN_ONLY, {}},
                    TRoundTrip{TDataKind::Random, 300000, 0, Z_DEFAULT_STRATEGY, OddReads},
                    TRoundTrip{TDataKind::Mixed, 1 << 20, 1, Z_DEFAULT_STRATEGY, OddReads},
                    TRoundTrip{TDataKind::Mixed, 3 << 20, 6, Z_DEFAULT_STRATEGY, {}},
                    TRoundTrip{TDataKind::Text, 3 << 20, 9, Z_FILTERED, {}},
                    TRoundTrip{TDataKind::Runs, 2 << 20, 9, Z_DEFAULT_STRATEGY, {}},
                    TRoundTrip{TDataKind::Random, 2 << 20, 6, Z_DEFAULT_STRATEGY, {}}));

TEST(Inflate, EmptyStreamAndEmptyEntry) {
    std::string deflated = RawDeflate("", 6);
    TDecoded decoded = DecodeBytes(8, 0, deflated, 0);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, "");
    // Declared larger than the stream holds: the stream's end ends the entry.
    decoded = DecodeBytes(8, 0, deflated, 10);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, "");
}

// Decoding stops at the declared size, in the middle of a match if need be.
TEST(Inflate, StopsAtTheUncompressedSize) {
    std::string data = MakeTestData(TDataKind::Mixed, 300000, 7);
    std::string deflated = RawDeflate(data, 6);
    for (std::size_t size : {std::size_t(1), std::size_t(4099), std::size_t(32768),
                             std::size_t(262145), data.size() - 1}) {
        TDecoded decoded = DecodeBytes(8, 0, deflated, size, {777});
        EXPECT_EQ(decoded.result, TDecodeResult::Ok);
        EXPECT_TRUE(decoded.output == data.substr(0, size)) << size;
    }
}

TEST(Inflate, WritesChunksOfAtMost32768Bytes) {
    std::string data = MakeTestData(TDataKind::Runs, 1 << 20, 3);
    TMemorySource source(RawDeflate(data, 9));
    TMemorySink sink;
    archive::TDecodeEntry entry{8, 0, 0, data.size()};
    EXPECT_EQ(archive::DecodeEntry(entry, source, sink), TDecodeResult::Ok);
    EXPECT_EQ(sink.largestChunk, 32768u);
    EXPECT_EQ(sink.writes, 32);
}

// Every cut of a stream with stored, fixed and dynamic blocks either fails as
// a data error or (when only the end is missing) gives the whole data; what
// was written is always the data's beginning.
TEST(Inflate, TruncatedStreams) {
    std::string data = MakeTestData(TDataKind::Mixed, 3000, 11);
    std::string deflated = RawDeflate(data.substr(0, 1000), 0).substr(0, 0);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(8000, '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int strategies[3] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_DEFAULT_STRATEGY};
    for (int part = 0; part < 3; ++part) {
        deflateParams(&z, part == 2 ? 0 : 6, strategies[part]);
        z.next_in = reinterpret_cast<Bytef*>(data.data() + 1000 * part);
        z.avail_in = 1000;
        ASSERT_NE(deflate(&z, part == 2 ? Z_FINISH : Z_FULL_FLUSH), Z_STREAM_ERROR);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    for (std::size_t cut = 0; cut < out.size(); ++cut) {
        TDecoded decoded = DecodeBytes(8, 0, out.substr(0, cut), data.size());
        ASSERT_TRUE(decoded.result == TDecodeResult::DataError ||
                    (decoded.result == TDecodeResult::Ok && decoded.output == data))
            << "cut at " << cut;
        ASSERT_TRUE(data.compare(0, decoded.output.size(), decoded.output) == 0) << cut;
    }
}

// Random damage never reads or writes out of bounds (ASan watches) and never
// writes more than the entry's size.
TEST(Inflate, DamagedStreams) {
    std::string data = MakeTestData(TDataKind::Mixed, 20000, 5);
    std::string deflated = RawDeflate(data, 6);
    std::mt19937 random(99);
    for (int round = 0; round < 400; ++round) {
        std::string damaged = deflated;
        for (int i = 0; i < 1 + round % 4; ++i)
            damaged[random() % damaged.size()] ^= char(1 << (random() % 8));
        TDecoded decoded = DecodeBytes(8, 0, damaged, data.size());
        ASSERT_TRUE(decoded.result == TDecodeResult::Ok ||
                    decoded.result == TDecodeResult::DataError);
        ASSERT_LE(decoded.output.size(), data.size());
    }
}

struct TMalformed {
    const char* name;
    std::string stream;
    TDecodeResult result;
    std::string output; // what was written before the fault
};

void PrintTo(const TMalformed& c, std::ostream* os) {
    *os << c.name;
}

std::string FarDistance(int distanceCode) {
    TBitWriter w = FixedBlockHeader();
    FixedSymbol(w, 'a');
    FixedSymbol(w, 257); // length 3
    w.Code(std::uint32_t(distanceCode), 5).Bits(0, 14);
    FixedSymbol(w, 256);
    return w.Finish();
}

std::string FixedSymbols(std::initializer_list<int> symbols) {
    TBitWriter w = FixedBlockHeader();
    for (int symbol : symbols)
        FixedSymbol(w, symbol);
    return w.Finish();
}

std::string Stored(std::uint16_t length, std::uint16_t complement, const std::string& bytes) {
    TBitWriter w;
    w.Bits(1, 1).Bits(0, 2).Align().Bits(length, 16).Bits(complement, 16).Bytes(bytes);
    return w.Finish();
}

std::string Dynamic(int litLen, int dist, TPrecode precode, std::vector<TLengthSymbol> symbols,
                    std::vector<std::pair<std::uint32_t, int>> data = {}) {
    TBitWriter w = DynamicBlockHeader(litLen, dist, precode, symbols);
    for (auto [code, bits] : data)
        w.Code(code, bits);
    return w.Finish();
}

std::string OverSubscribedPrecode() {
    TBitWriter w;
    w.Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4);
    for (int i = 0; i < 4; ++i)
        w.Bits(1, 3); // four codes of one bit
    return w.Finish();
}

// 258 code lengths (257 literal/length, 1 distance) from symbols 0, 1, 2, 18.
const TPrecode ZeroOneTwoRuns = {{0, 2}, {1, 2}, {2, 2}, {18, 2}};
std::vector<TLengthSymbol> Zeros(int n) { // n >= 11
    std::vector<TLengthSymbol> symbols;
    for (; n > 0; n -= std::min(n, 138))
        symbols.push_back({18, std::min(n, 138) - 11, 7});
    return symbols;
}
std::vector<TLengthSymbol> Join(std::initializer_list<std::vector<TLengthSymbol>> parts) {
    std::vector<TLengthSymbol> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// 'a' (1 bit: 0), end of block (10), length 257 (11); the distance code is
// given by distLength (0: none).
std::vector<TLengthSymbol> ALengthEnd(int distLength) {
    return Join({Zeros(97), {{1, 0, 0}}, Zeros(158), {{2, 0, 0}, {2, 0, 0}, {distLength, 0, 0}}});
}

const std::vector<TMalformed>& MalformedCases() {
    static const std::vector<TMalformed> cases = {
        {"reserved block type", TBitWriter().Bits(1, 1).Bits(3, 2).Finish(),
         TDecodeResult::DataError, ""},
        {"stored length and complement differ", Stored(3, 0, "abc"), TDecodeResult::DataError, ""},
        {"stored block cut short", Stored(10, 0xFFF5, "abc"), TDecodeResult::DataError, "abc"},
        {"stored header cut short", Stored(10, 0xFFF5, "").substr(0, 3), TDecodeResult::DataError,
         ""},
        {"distance before the first byte", FarDistance(1), TDecodeResult::DataError, "a"},
        {"distance code 30", FarDistance(30), TDecodeResult::DataError, "a"},
        {"distance code 31", FarDistance(31), TDecodeResult::DataError, "a"},
        {"literal/length code 286", FixedSymbols({'x', 286}), TDecodeResult::DataError, "x"},
        {"literal/length code 287", FixedSymbols({'x', 287}), TDecodeResult::DataError, "x"},
        {"fixed block without its end", FixedSymbols({'a', 'b'}), TDecodeResult::DataError, "ab"},
        {"no data at all", "", TDecodeResult::DataError, ""},
        {"287 literal/length codes", Dynamic(287, 1, ZeroOneTwoRuns, {}), TDecodeResult::DataError,
         ""},
        {"31 distance codes", Dynamic(257, 31, ZeroOneTwoRuns, {}), TDecodeResult::DataError, ""},
        {"code length code over-subscribed", OverSubscribedPrecode(), TDecodeResult::DataError, ""},
        {"repeat with no previous length", Dynamic(257, 1, {{16, 1}, {17, 1}}, {{16, 0, 2}}),
         TDecodeResult::DataError, ""},
        {"repeat past the last length", Dynamic(257, 1, ZeroOneTwoRuns, Zeros(276)),
         TDecodeResult::DataError, ""},
        {"no end-of-block code", Dynamic(257, 1, ZeroOneTwoRuns, Zeros(258)),
         TDecodeResult::DataError, ""},
        {"literal/length code over-subscribed",
         Dynamic(257, 1, ZeroOneTwoRuns,
                 Join({{{1, 0, 0}, {1, 0, 0}, {1, 0, 0}}, Zeros(253), {{1, 0, 0}, {1, 0, 0}}})),
         TDecodeResult::DataError, ""},
        {"distance code over-subscribed",
         Dynamic(257, 3, ZeroOneTwoRuns,
                 Join({Zeros(97),
                       {{1, 0, 0}},
                       Zeros(158),
                       {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}}})),
         TDecodeResult::DataError, ""},
        {"unused literal/length codeword",
         Dynamic(258, 1, ZeroOneTwoRuns,
                 Join({Zeros(97), {{1, 0, 0}}, Zeros(158), {{2, 0, 0}, {0, 0, 0}, {1, 0, 0}}}),
                 {{0, 1}, {3, 2}}),
         TDecodeResult::DataError, "a"},
        {"length with no distance code",
         Dynamic(258, 1, ZeroOneTwoRuns, ALengthEnd(0), {{0, 1}, {3, 2}, {0, 1}}),
         TDecodeResult::DataError, "a"},
    };
    return cases;
}

class InflateMalformed : public testing::TestWithParam<TMalformed> {};

TEST_P(InflateMalformed, FailsWithItsResult) {
    const TMalformed& c = GetParam();
    TDecoded decoded = DecodeBytes(8, 0, c.stream, 1000);
    EXPECT_EQ(decoded.result, c.result);
    EXPECT_EQ(decoded.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(Streams, InflateMalformed, testing::ValuesIn(MalformedCases()),
                         [](const testing::TestParamInfo<TMalformed>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// The helpers above build valid streams too: the same header with valid data.
TEST(InflateMalformed, HandBuiltStreamsDecodeWhenValid) {
    TDecoded decoded = DecodeBytes(8, 0, Stored(3, 0xFFFC, "abc"), 3);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, "abc");
    decoded = DecodeBytes(
        8, 0,
        Dynamic(258, 1, ZeroOneTwoRuns, ALengthEnd(1), {{0, 1}, {3, 2}, {0, 1}, {0, 1}, {2, 2}}),
        100);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, "aaaaa");
}

} // namespace
