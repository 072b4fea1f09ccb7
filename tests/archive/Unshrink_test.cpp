// Unshrink (method 1) on hand-built code streams: KwKwK, code widening,
// partial clearing, and every way a stream can be bad.
#include "DecodeBitWriter.h"
#include "DecodeTestZip.h"

#include <gtest/gtest.h>

#include <random>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

// Codes written with the code size they are read at: control sequence 256, 1
// widens the codes that follow.
std::string Codes(std::initializer_list<int> codes) {
    TBitWriter w;
    int size = 9;
    bool control = false;
    for (int code : codes) {
        w.Bits(std::uint32_t(code), size);
        if (control && code == 1) ++size;
        control = !control && code == 256;
    }
    return w.Finish();
}

struct TShrunk {
    const char* name;
    std::string stream;
    std::size_t size;
    TDecodeResult result;
    std::string output;
};

void PrintTo(const TShrunk& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<TShrunk>& ShrunkCases() {
    static const std::vector<TShrunk> cases = {
        {"literals", Codes({'a', 'b', 'c'}), 3, TDecodeResult::Ok, "abc"},
        {"a new code", Codes({'a', 'b', 257, 258}), 7, TDecodeResult::Ok, "ababba"},
        {"KwKwK", Codes({'a', 257, 258}), 7, TDecodeResult::Ok, "aaaaaa"},
        {"wider codes", Codes({'a', 256, 1, 'b', 256, 1, 257}), 4, TDecodeResult::Ok, "abab"},
        // 260 ("de") keeps its child 262 through the first clear, which frees the
        // leaves; they are re-issued lowest first (257 "fg", 258 "gd", 259 "deh").
        // 260 survives the second clear too: it was not a leaf when the clear began,
        // though its only child 259 is freed in it. After it, 257 is "hd" and 258
        // is next (KwKwK: "ded").
        {"partial clears",
         Codes({'a', 'b', 'c', 'd', 'e', 260, 'f', 256, 2, 'g', 260, 'h', 256, 2, 260, 258, 257}),
         19, TDecodeResult::Ok, "abcdedefgdehdededhd"},
        {"stops at the size", Codes({'a', 'b', 'c'}), 2, TDecodeResult::Ok, "ab"},
        {"input ends inside a code", Codes({'a'}), 10, TDecodeResult::Ok, "a"},
        {"no first code", "", 10, TDecodeResult::BadBlock, ""},
        {"first code not a byte", Codes({257}), 10, TDecodeResult::BadBlock, ""},
        {"unknown control code", Codes({'a', 256, 3, 'b'}), 10, TDecodeResult::BadBlock, "a"},
        {"codes wider than 13 bits", Codes({'a', 256, 1, 256, 1, 256, 1, 256, 1, 256, 1}), 10,
         TDecodeResult::BadBlock, "a"},
        {"free code that is not the next", Codes({'a', 300}), 10, TDecodeResult::BadBlock, "a"},
        {"code ahead of the next free code", Codes({'a', 258}), 10, TDecodeResult::BadBlock, "a"},
        // After the clear, 257 is free and becomes its own prefix: its string never ends.
        {"code that is its own prefix", Codes({'a', 'b', 257, 256, 2, 'c', 257}), 100,
         TDecodeResult::StackOverflow, "ababc"},
    };
    return cases;
}

class Unshrink : public testing::TestWithParam<TShrunk> {};

TEST_P(Unshrink, DecodesOrFails) {
    const TShrunk& c = GetParam();
    TDecoded decoded = DecodeBytes(1, 0, c.stream, c.size, {1});
    EXPECT_EQ(decoded.result, c.result);
    EXPECT_EQ(decoded.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(Streams, Unshrink, testing::ValuesIn(ShrunkCases()),
                         [](const testing::TestParamInfo<TShrunk>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Random damage to a real shrunk entry: never out of bounds, never past the size.
TEST(UnshrinkDamaged, StaysInBounds) {
    auto entries = ReadZipTestEntries(ReadFileBytes(VIMBREL_CORPUS_DIR "/HWSHRINK.ZIP"));
    const TZipTestEntry& entry = FindEntry(entries, "TESTDAT3.TXT");
    std::mt19937 random(17);
    for (int round = 0; round < 20; ++round) {
        std::string damaged = entry.data;
        for (int i = 0; i < 1 + round % 3; ++i)
            damaged[random() % damaged.size()] ^= char(1 << (random() % 8));
        TDecoded decoded = DecodeBytes(1, 0, damaged, entry.uncompressedSize);
        ASSERT_LE(decoded.output.size(), entry.uncompressedSize);
        ASSERT_NE(decoded.result, TDecodeResult::DataError); // unshrink names its faults
    }
}

} // namespace
