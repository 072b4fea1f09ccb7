// Deflate64 (method 9): 7-Zip's archives, made at test time, and hand-built
// streams that use what only Deflate64 has: length code 285 with 16 extra
// bits, distance codes 30 and 31, 32 distance codes in a dynamic header.
#include "DecodeDeflateWriter.h"
#include "DecodeTestData.h"
#include "DecodeTestZip.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

// Data made for Deflate64's reach: a random block repeated at distances above
// 32 KB (only reachable with distance codes 30 and 31), and long runs. 7-Zip
// caps Deflate64 matches at 257 bytes, so code 285's long lengths are tested
// with hand-built streams below.
struct TSevenZipCase {
    const char* name;
    std::string data;
    bool failsAsDeflate;
};

std::vector<TSevenZipCase> SevenZipCases() {
    std::string block = MakeTestData(TDataKind::Random, 50000, 1);
    return {{"far", block + block + block, true},
            {"runs", std::string(300000, 'a') + block.substr(0, 1000) + std::string(200000, 'x'),
             false}};
}

TEST(Deflate64, SevenZipArchivesDecodeAndFailAsDeflate) {
    if (!HaveTool("7zz")) GTEST_SKIP() << "7zz (7-Zip) is not installed";
    for (const TSevenZipCase& c : SevenZipCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteAll(dir.file("data.bin"), c.data);
        ASSERT_TRUE(RunTool("cd '" + dir.path() +
                            "' && 7zz a -tzip -mm=Deflate64 out.zip data.bin >/dev/null"));
        std::vector<TZipTestEntry> entries = ReadZipTestEntries(ReadFileBytes(dir.file("out.zip")));
        ASSERT_EQ(entries.size(), 1u);
        TZipTestEntry entry = entries[0];
        ASSERT_EQ(entry.method, 9);

        TDecoded decoded = DecodeTestEntry(entry, {4096, 3, 50000});
        EXPECT_EQ(decoded.result, TDecodeResult::Ok);
        EXPECT_EQ(decoded.crc, entry.crc);
        EXPECT_TRUE(decoded.output == c.data);

        if (!c.failsAsDeflate) continue;
        entry.method = 8; // the same stream read as plain deflate
        decoded = DecodeTestEntry(entry);
        EXPECT_TRUE(decoded.result == TDecodeResult::DataError || decoded.crc != entry.crc);
    }
}

// Plays a list of literals and matches to get the expected output.
struct TExpected {
    std::string out;
    void Literal(char c) { out.push_back(c); }
    void Match(std::size_t length, std::size_t distance) {
        for (std::size_t i = 0; i < length; ++i)
            out.push_back(out[out.size() - distance]);
    }
};

// A fixed block with a long match through code 285 and matches through
// distance codes 30 and 31.
TEST(Deflate64, LongLengthsAndFarDistances) {
    TBitWriter w = FixedBlockHeader();
    TExpected expected;
    std::string pattern = MakeTestData(TDataKind::Random, 100, 4);
    for (char c : pattern) {
        FixedSymbol(w, std::uint8_t(c));
        expected.Literal(c);
    }
    FixedSymbol(w, 285); // length 3 + 65535
    w.Bits(65535, 16);
    w.Code(13, 5).Bits(3, 5); // distance 97 + 3
    expected.Match(65538, 100);
    FixedSymbol(w, 285); // length 3 + 1000
    w.Bits(1000, 16);
    w.Code(0, 5); // distance 1
    expected.Match(1003, 1);
    FixedSymbol(w, 257);       // length 3
    w.Code(31, 5).Bits(0, 14); // distance 49153
    expected.Match(3, 49153);
    FixedSymbol(w, 258);           // length 4
    w.Code(30, 5).Bits(16383, 14); // distance 32769 + 16383
    expected.Match(4, 49152);
    FixedSymbol(w, 256);
    std::string stream = w.Finish();

    TDecoded decoded = DecodeBytes(9, 0, stream, expected.out.size(), {5, 1000});
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_TRUE(decoded.output == expected.out);

    decoded = DecodeBytes(8, 0, stream, expected.out.size());
    EXPECT_NE(decoded.output, expected.out);
}

// Long matches that run past the output buffer's room, then literals up to
// and past the declared size: the size still caps the output.
TEST(Deflate64, LongMatchesAcrossTheRoomAndTheSize) {
    TBitWriter w = FixedBlockHeader();
    FixedSymbol(w, 'a');
    for (int i = 0; i < 6; ++i) {
        FixedSymbol(w, 285);
        w.Bits(65535, 16).Code(0, 5); // 65538 bytes, distance 1
    }
    for (int i = 0; i < 10000; ++i)
        FixedSymbol(w, 'b');
    FixedSymbol(w, 256);
    std::string expected = std::string(1 + 6 * 65538, 'a') + std::string(10000, 'b');
    std::string stream = w.Finish();
    for (std::size_t size : {std::size_t(400000), expected.size()}) {
        TDecoded decoded = DecodeBytes(9, 0, stream, size);
        EXPECT_EQ(decoded.result, TDecodeResult::Ok);
        EXPECT_TRUE(decoded.output == expected.substr(0, size)) << size;
    }
}

// A distance beyond what was produced is an error in Deflate64 as well.
TEST(Deflate64, DistanceBeforeTheFirstByte) {
    TBitWriter w = FixedBlockHeader();
    FixedSymbol(w, 'a');
    FixedSymbol(w, 257);
    w.Code(31, 5).Bits(0, 14);
    FixedSymbol(w, 256);
    TDecoded decoded = DecodeBytes(9, 0, w.Finish(), 100);
    EXPECT_EQ(decoded.result, TDecodeResult::DataError);
    EXPECT_EQ(decoded.output, "a");
}

// 32 distance codes in a dynamic header: valid for Deflate64, refused for deflate.
TEST(Deflate64, ThirtyTwoDistanceCodes) {
    std::vector<TLengthSymbol> lengths;
    for (int i = 0; i < 97; ++i)
        lengths.push_back({0, 0, 0});
    lengths.push_back({1, 0, 0}); // 'a': 0
    lengths.push_back({18, 138 - 11, 7});
    lengths.push_back({18, 20 - 11, 7});
    lengths.push_back({2, 0, 0}); // end of block: 10
    lengths.push_back({2, 0, 0}); // length 3: 11
    lengths.push_back({1, 0, 0}); // distance code 0: 0
    lengths.push_back({18, 30 - 11, 7});
    lengths.push_back({1, 0, 0}); // distance code 31: 1
    TBitWriter w = DynamicBlockHeader(258, 32, {{0, 2}, {1, 2}, {2, 2}, {18, 2}}, lengths);
    w.Code(0, 1);            // 'a'
    w.Code(3, 2).Code(0, 1); // length 3, distance 1
    w.Code(2, 2);            // end of block
    std::string stream = w.Finish();

    TDecoded decoded = DecodeBytes(9, 0, stream, 4);
    EXPECT_EQ(decoded.result, TDecodeResult::Ok);
    EXPECT_EQ(decoded.output, "aaaa");
    EXPECT_EQ(DecodeBytes(8, 0, stream, 4).result, TDecodeResult::DataError);
}

// The corpus's Deflate64 entry (made by Windows) needs Deflate64 as well.
TEST(Deflate64, CorpusEntryFailsAsDeflate) {
    auto entries = ReadZipTestEntries(ReadFileBytes(VIMBREL_CORPUS_DIR "/deflate64.zip"));
    TZipTestEntry entry = FindEntry(entries, "binary.wmv");
    entry.method = 8;
    TDecoded decoded = DecodeTestEntry(entry);
    EXPECT_TRUE(decoded.result == TDecodeResult::DataError || decoded.crc != entry.crc);
}

} // namespace
