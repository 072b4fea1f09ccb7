// Unreduce (methods 2 to 5) on hand-built streams: follower sets, the DLE
// expansion for each compression factor, and bad data.
#include "DecodeBitWriter.h"
#include "DecodeTestZip.h"

#include <gtest/gtest.h>

#include <map>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

// Follower sets for 255 down to 0, then the bytes of the LZ77 stream: with the
// previous byte's set empty, 8 bits; else a literal flag and 8 bits, or a
// 0 flag and an index into the set.
class TReducedStream {
public:
    explicit TReducedStream(std::map<int, std::string> sets = {}) : sets(std::move(sets)) {
        for (int value = 255; value >= 0; --value) {
            const std::string& set = this->sets[value];
            w.Bits(std::uint32_t(set.size()), 6).Bytes(set);
        }
    }
    TReducedStream& Bytes(std::initializer_list<int> bytes) {
        for (int byte : bytes) {
            if (!sets[last].empty()) w.Bits(1, 1);
            w.Bits(std::uint32_t(byte), 8);
            last = byte;
        }
        return *this;
    }
    TReducedStream& Text(const std::string& text) {
        for (unsigned char c : text)
            Bytes({c});
        return *this;
    }
    TReducedStream& Follower(int index, int bits) {
        w.Bits(0, 1).Bits(std::uint32_t(index), bits);
        const std::string& set = sets[last];
        if (std::size_t(index) < set.size()) last = std::uint8_t(set[std::size_t(index)]);
        return *this;
    }
    std::string Finish() { return w.Finish(); }

private:
    std::map<int, std::string> sets;
    TBitWriter w;
    int last = 0;
};

std::string Decode(int factor, const std::string& stream, std::size_t size,
                   TDecodeResult expected = TDecodeResult::Ok) {
    TDecoded decoded = DecodeBytes(std::uint16_t(factor + 1), 0, stream, size, {3});
    EXPECT_EQ(decoded.result, expected);
    return decoded.output;
}

class Unreduce : public testing::TestWithParam<int> {
protected:
    int factor = GetParam();
    int lengthMask = 0x7F >> (GetParam() - 1);
};

TEST_P(Unreduce, Literals) {
    EXPECT_EQ(Decode(factor, TReducedStream().Text("reduced").Finish(), 7), "reduced");
}

TEST_P(Unreduce, EscapedDle) {
    EXPECT_EQ(Decode(factor, TReducedStream().Bytes({'x', 144, 0, 'y'}).Finish(), 3), "x\x90y");
}

// 144 V W: length V & mask, plus 3; distance W + 1.
TEST_P(Unreduce, ShortMatch) {
    std::string stream = TReducedStream().Text("abcd").Bytes({144, 5, 3}).Finish();
    EXPECT_EQ(Decode(factor, stream, 12), "abcdabcdabcd");
}

// A length field equal to the mask takes one more length byte.
TEST_P(Unreduce, LongMatch) {
    std::string stream = TReducedStream().Text("x").Bytes({144, lengthMask, 10, 0}).Finish();
    EXPECT_EQ(Decode(factor, stream, std::size_t(lengthMask + 14)),
              std::string(std::size_t(lengthMask + 14), 'x'));
}

// V's high bits are the distance's high byte.
TEST_P(Unreduce, FarMatch) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text.push_back(char('A' + i % 26 + (i / 26) % 2 * 32));
    int v = (1 << (8 - factor)) | 2; // distance 256 + 43 + 1, length 5
    std::string stream = TReducedStream().Text(text).Bytes({144, v, 43}).Finish();
    EXPECT_EQ(Decode(factor, stream, 305), text + text.substr(0, 5));
}

// Before the first byte the window reads as zeros, as the format defines.
TEST_P(Unreduce, MatchBeforeTheStart) {
    std::string stream = TReducedStream().Text("ab").Bytes({144, 1, 9}).Finish();
    EXPECT_EQ(Decode(factor, stream, 6), std::string("ab\0\0\0\0", 6));
}

TEST_P(Unreduce, StopsAtTheSize) {
    std::string stream = TReducedStream().Text("x").Bytes({144, 4, 0}).Finish();
    EXPECT_EQ(Decode(factor, stream, 5), "xxxxx");
}

INSTANTIATE_TEST_SUITE_P(Factors, Unreduce, testing::Values(1, 2, 3, 4));

TEST(UnreduceFollowers, IndexIntoTheSet) {
    // After 'a' (set "bc", 1-bit index): index 1 is 'c'; after 'c' (empty set) 8 bits;
    // after 'a' again a literal flag.
    std::string stream =
        TReducedStream({{'a', "bc"}}).Bytes({'a'}).Follower(1, 1).Bytes({'a', 'z'}).Finish();
    EXPECT_EQ(Decode(4, stream, 4), "acaz");
}

TEST(UnreduceFollowers, SetOfThirtyTwo) {
    std::string all;
    for (int i = 0; i < 32; ++i)
        all.push_back(char('0' + i));
    std::string stream = TReducedStream({{'a', all}}).Bytes({'a'}).Follower(31, 5).Finish();
    EXPECT_EQ(Decode(2, stream, 2), "a" + all.substr(31));
}

TEST(UnreduceFollowers, IndexPastTheSet) {
    std::string stream = TReducedStream({{'a', "bcd"}}).Bytes({'a'}).Follower(3, 2).Finish();
    EXPECT_EQ(Decode(4, stream, 10, TDecodeResult::DataError), "a");
}

TEST(UnreduceFollowers, CountAboveThirtyTwo) {
    TBitWriter w;
    w.Bits(33, 6);
    for (int i = 0; i < 33; ++i)
        w.Bits(0, 8);
    EXPECT_EQ(Decode(4, w.Finish(), 10, TDecodeResult::DataError), "");
}

TEST(UnreduceFollowers, SetsCutShort) {
    std::string stream = TReducedStream().Finish();
    EXPECT_EQ(Decode(4, stream.substr(0, stream.size() / 2), 10, TDecodeResult::DataError), "");
}

} // namespace
