// Unreduce (methods 2 to 5) on hand-built streams: follower sets, the DLE
// expansion for each compression factor, and bad data.
#include "DecodeBitWriter.h"
#include "DecodeTestZip.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

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
    TReducedStream& Bytes(const std::vector<int>& bytes) {
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

// Each case: literal text, then the bytes after it (144 starts a match), the
// size to decode and the bytes it must give.
TEST_P(Unreduce, DecodesTheLz77Layer) {
    std::string far;
    for (int i = 0; i < 300; ++i)
        far.push_back(char('A' + i % 26 + (i / 26) % 2 * 32));
    const int farV = (1 << (8 - factor)) | 2; // distance 256 + 43 + 1, length 5
    const std::size_t longSize = std::size_t(lengthMask + 14);
    const struct {
        const char* name;
        std::string text;
        std::vector<int> bytes;
        std::size_t size;
        std::string output;
    } cases[] = {
        {"literals", "reduced", {}, 7, "reduced"},
        {"escaped DLE", "x", {144, 0, 'y'}, 3, "x\x90y"},
        // 144 V W: length V & mask, plus 3; distance W + 1.
        {"short match", "abcd", {144, 5, 3}, 12, "abcdabcdabcd"},
        // A length field equal to the mask takes one more length byte.
        {"long match", "x", {144, lengthMask, 10, 0}, longSize, std::string(longSize, 'x')},
        // V's high bits are the distance's high byte.
        {"far match", far, {144, farV, 43}, 305, far + far.substr(0, 5)},
        // Before the first byte the window reads as zeros, as the format defines.
        {"match before the start", "ab", {144, 1, 9}, 6, std::string("ab\0\0\0\0", 6)},
        {"stops at the size", "x", {144, 4, 0}, 5, "xxxxx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stream = TReducedStream().Text(c.text).Bytes(c.bytes).Finish();
        EXPECT_EQ(Decode(factor, stream, c.size), c.output);
    }
}

INSTANTIATE_TEST_SUITE_P(Factors, Unreduce, testing::Values(1, 2, 3, 4));

TEST(UnreduceFollowers, DecodeByTheSetsOrFailOnBadOnes) {
    std::string all;
    for (int i = 0; i < 32; ++i)
        all.push_back(char('0' + i));
    TBitWriter countAbove;
    countAbove.Bits(33, 6);
    for (int i = 0; i < 33; ++i)
        countAbove.Bits(0, 8);
    const std::string sets = TReducedStream().Finish();
    const struct {
        const char* name;
        std::string stream;
        int factor;
        std::size_t size;
        TDecodeResult result;
        std::string output;
    } cases[] = {
        // After 'a' (set "bc", 1-bit index): index 1 is 'c'; after 'c' (empty set) 8 bits;
        // after 'a' again a literal flag.
        {"index into the set",
         TReducedStream({{'a', "bc"}}).Bytes({'a'}).Follower(1, 1).Bytes({'a', 'z'}).Finish(), 4, 4,
         TDecodeResult::Ok, "acaz"},
        {"set of thirty-two", TReducedStream({{'a', all}}).Bytes({'a'}).Follower(31, 5).Finish(), 2,
         2, TDecodeResult::Ok, "a" + all.substr(31)},
        {"index past the set", TReducedStream({{'a', "bcd"}}).Bytes({'a'}).Follower(3, 2).Finish(),
         4, 10, TDecodeResult::DataError, "a"},
        {"count above thirty-two", countAbove.Finish(), 4, 10, TDecodeResult::DataError, ""},
        {"sets cut short", sets.substr(0, sets.size() / 2), 4, 10, TDecodeResult::DataError, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(c.factor, c.stream, c.size, c.result), c.output);
    }
}

} // namespace
