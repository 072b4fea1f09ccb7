// Every way of the CRC-32 beside zlib's crc32, over the lengths where one way
// hands over to the next and at every alignment of a 16-byte load.
#include "archive/Crc32.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>
#include <zlib.h>

namespace {

using TUpdate = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);

TEST(Crc32, EveryWayMatchesZlibAndContinuesARunningCrc) {
    std::vector<std::uint8_t> data(70000);
    std::mt19937 random(17);
    for (std::uint8_t& b : data)
        b = std::uint8_t(random());
    std::vector<std::pair<const char*, TUpdate>> ways{{"UpdateCrc32", archive::UpdateCrc32},
                                                      {"tables", archive::UpdateCrc32Tables}};
    if (archive::Crc32FoldSupported()) ways.emplace_back("fold", archive::UpdateCrc32Fold);
    if (archive::Crc32WideFoldSupported())
        ways.emplace_back("wide fold", archive::UpdateCrc32WideFold);
    const std::size_t sizes[] = {0,   1,   15,  16,  63,  64,   65,   79,
                                 127, 128, 255, 256, 257, 1000, 65536};
    for (auto [name, update] : ways)
        for (std::size_t size : sizes)
            for (std::size_t offset = 0; offset < 17; ++offset) {
                const std::uint8_t* at = data.data() + offset;
                const std::uint32_t want = std::uint32_t(crc32_z(0, at, size));
                EXPECT_EQ(update(0xFFFFFFFF, at, size) ^ 0xFFFFFFFF, want)
                    << name << " size " << size << " offset " << offset;
                // The CRC so far enters the next piece as a change to its first bytes.
                const std::size_t half = size / 2;
                const std::uint32_t split =
                    update(update(0xFFFFFFFF, at, half), at + half, size - half) ^ 0xFFFFFFFF;
                EXPECT_EQ(split, want) << name << " split, size " << size << " offset " << offset;
            }
}

} // namespace
