// Explode (method 6) in all four option combinations, through a test encoder
// checked against the real archives and against Info-ZIP unzip; and bad trees.
#include "DecodeImplodeEncoder.h"
#include "DecodeTestData.h"
#include "DecodeTestZip.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

const std::string Corpus = VIMBREL_CORPUS_DIR "/";

// The encoder first: in the option the real archives use (8 KB, three trees)
// it must produce what our decoder reads back like those archives.
TEST(ExplodeEncoder, MatchesTheRealArchivesOption) {
    std::string text = ReadFileBytes(Corpus + "first.txt");
    auto entries = ReadZipTestEntries(ReadFileBytes(Corpus + "implode.zip"));
    ASSERT_EQ(entries[0].flags & 6, 6);
    TImplodeEncoder encoder(true, true);
    EXPECT_EQ(encoder.Flags(), entries[0].flags & 6);
    TDecoded decoded = DecodeBytes(6, encoder.Flags(), encoder.Encode(text), text.size());
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, text);
}

// APPNOTE's worked example: lengths (3, 3, 3, 3, 3, 2, 4, 4).
TEST(ExplodeEncoder, AppnoteExampleCodes) {
    std::vector<std::uint32_t> codes = TImplodeEncoder::Codes({3, 3, 3, 3, 3, 2, 4, 4});
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{0b101, 0b100, 0b011, 0b010, 0b001, 0b11, 0b0001,
                                                 0b0000}));
}

struct TOptions {
    bool largeWindow;
    bool literalTree;
};

void PrintTo(const TOptions& c, std::ostream* os) {
    *os << (c.largeWindow ? "8 KB" : "4 KB") << (c.literalTree ? ", 3 trees" : ", 2 trees");
}

class ExplodeOptions : public testing::TestWithParam<TOptions> {
protected:
    std::string data = MakeTestData(TDataKind::Mixed, 60000, 21) +
                       MakeTestData(TDataKind::Text, 20000, 22) + std::string(2000, '\0') +
                       MakeTestData(TDataKind::Random, 3000, 23);
    TImplodeEncoder encoder{GetParam().largeWindow, GetParam().literalTree};
};

TEST_P(ExplodeOptions, DecodesWhatWasImploded) {
    std::string imploded = encoder.Encode(data);
    TDecoded decoded = DecodeBytes(6, encoder.Flags(), imploded, data.size(), {1000, 1});
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_TRUE(decoded.output == data);
}

// Info-ZIP unzip, an independent explode, reads the encoder's output alike.
TEST_P(ExplodeOptions, UnzipAgrees) {
    if (!HaveTool("unzip")) GTEST_SKIP() << "unzip is not installed";
    std::string imploded = encoder.Encode(data);
    TempDir dir;
    WriteAll(dir.file("imploded.zip"), WriteZipForTest("data.bin", 6, encoder.Flags(), imploded,
                                                       Crc32Of(data), std::uint32_t(data.size())));
    ASSERT_TRUE(RunTool("cd '" + dir.path() + "' && unzip -qq imploded.zip"));
    EXPECT_TRUE(ReadFileBytes(dir.file("data.bin")) == data);
}

TEST_P(ExplodeOptions, StopsAtTheSize) {
    TDecoded decoded = DecodeBytes(6, encoder.Flags(), encoder.Encode(data), 12345);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_TRUE(decoded.output == data.substr(0, 12345));
}

// Random damage: never out of bounds, never past the size.
TEST_P(ExplodeOptions, DamagedStreams) {
    std::string imploded = encoder.Encode(data.substr(0, 5000));
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        std::string damaged = imploded;
        damaged[random() % damaged.size()] ^= char(1 << (random() % 8));
        TDecoded decoded = DecodeBytes(6, encoder.Flags(), damaged, 5000);
        ASSERT_LE(decoded.output.size(), 5000u);
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, ExplodeOptions,
                         testing::Values(TOptions{false, false}, TOptions{false, true},
                                         TOptions{true, false}, TOptions{true, true}),
                         [](const testing::TestParamInfo<TOptions>& info) {
                             return std::string(info.param.largeWindow ? "Window8K" : "Window4K") +
                                    (info.param.literalTree ? "ThreeTrees" : "TwoTrees");
                         });

// Trees written by hand: (count - 1, length - 1) bytes for 64 symbols.
std::string Tree(std::initializer_list<std::pair<int, int>> runs) {
    TBitWriter w;
    w.Bits(std::uint32_t(runs.size() - 1), 8);
    for (auto [count, length] : runs)
        w.Bits(std::uint32_t((count - 1) << 4 | (length - 1)), 8);
    return w.Finish();
}
const std::string SixBits = Tree({{16, 6}, {16, 6}, {16, 6}, {16, 6}});

struct TBadTree {
    const char* name;
    std::string stream;
    TDecodeResult result;
};

void PrintTo(const TBadTree& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<TBadTree>& BadTrees() {
    static const std::vector<TBadTree> cases = {
        {"more symbols than the tree has", Tree({{16, 6}, {16, 6}, {16, 6}, {16, 6}, {1, 6}}),
         TDecodeResult::TreeBuild},
        {"fewer symbols than the tree has", Tree({{16, 6}, {16, 6}, {16, 6}}),
         TDecodeResult::TreeBuild},
        {"over-subscribed", Tree({{16, 1}, {16, 1}, {16, 1}, {16, 1}}), TDecodeResult::TreeDecode},
        {"incomplete, past the tree's capacity", Tree({{16, 16}, {16, 16}, {16, 16}, {16, 16}}),
         TDecodeResult::TreeBuild},
        // The construction adds the previous length's increment: 63 codes of 6 bits
        // after one of 7 bits start with its prefix.
        {"incomplete by one code", Tree({{16, 6}, {16, 6}, {16, 6}, {15, 6}, {1, 7}}),
         TDecodeResult::TreeDecode},
        {"a bad distance tree after a good length tree",
         SixBits + Tree({{16, 2}, {16, 2}, {16, 2}, {16, 2}}), TDecodeResult::TreeDecode},
        {"tree cut short", SixBits.substr(0, 3), TDecodeResult::DataError},
        {"no data after the trees", SixBits + SixBits, TDecodeResult::DataError},
    };
    return cases;
}

class ExplodeBadTree : public testing::TestWithParam<TBadTree> {};

TEST_P(ExplodeBadTree, FailsAndWritesNothing) {
    TDecoded decoded = DecodeBytes(6, 0, GetParam().stream, 100);
    EXPECT_EQ(decoded.result, GetParam().result);
    EXPECT_EQ(decoded.output, "");
}

INSTANTIATE_TEST_SUITE_P(Trees, ExplodeBadTree, testing::ValuesIn(BadTrees()),
                         [](const testing::TestParamInfo<TBadTree>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Before the first byte the window reads as zeros, as the format defines.
TEST(Explode, MatchBeforeTheStart) {
    std::vector<std::uint32_t> six = TImplodeEncoder::Codes(std::vector<int>(64, 6));
    TBitWriter w;
    TImplodeEncoder::WriteTree(w, std::vector<int>(64, 6));
    TImplodeEncoder::WriteTree(w, std::vector<int>(64, 6));
    w.Bits(1, 1).Bits('x', 8);               // literal x
    w.Bits(0, 1).Bits(9, 6).Code(six[0], 6); // distance 10
    w.Code(six[1], 6);                       // length 2 + 1
    TDecoded decoded = DecodeBytes(6, 0, w.Finish(), 4);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, std::string("x\0\0\0", 4));
}

// A length symbol of 63 takes 8 more bits.
TEST(Explode, LongestMatch) {
    std::vector<std::uint32_t> six = TImplodeEncoder::Codes(std::vector<int>(64, 6));
    TBitWriter w;
    TImplodeEncoder::WriteTree(w, std::vector<int>(64, 6));
    TImplodeEncoder::WriteTree(w, std::vector<int>(64, 6));
    w.Bits(1, 1).Bits('y', 8);
    w.Bits(0, 1).Bits(0, 6).Code(six[0], 6).Code(six[63], 6).Bits(255, 8); // 2 + 63 + 255
    TDecoded decoded = DecodeBytes(6, 0, w.Finish(), 321);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, std::string(321, 'y'));
}

TEST(Explode, DataCutShort) {
    TImplodeEncoder encoder(false, true);
    std::string text = MakeTestData(TDataKind::Text, 3000, 2);
    std::string imploded = encoder.Encode(text);
    TDecoded decoded =
        DecodeBytes(6, encoder.Flags(), imploded.substr(0, imploded.size() / 2), text.size());
    EXPECT_EQ(decoded.result, TDecodeResult::DataError);
    EXPECT_FALSE(decoded.output.empty());
    EXPECT_EQ(decoded.output, text.substr(0, decoded.output.size()));
}

} // namespace
