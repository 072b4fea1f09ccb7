#include "archive/Crc32.h"

#include <array>

namespace archive {
namespace {

// Eight tables let the loop take eight bytes per step; table 0 is the classic one.
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeTables() {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n)
        for (int k = 1; k < 8; ++k)
            t[k][n] = t[0][t[k - 1][n] & 0xFF] ^ (t[k - 1][n] >> 8);
    return t;
}

constexpr auto Tables = MakeTables();

} // namespace

const std::uint32_t Crc32Table[256] = {
#define ROW(i) Tables[0][i], Tables[0][i + 1], Tables[0][i + 2], Tables[0][i + 3]
    ROW(0),   ROW(4),   ROW(8),   ROW(12),  ROW(16),  ROW(20),  ROW(24),  ROW(28),
    ROW(32),  ROW(36),  ROW(40),  ROW(44),  ROW(48),  ROW(52),  ROW(56),  ROW(60),
    ROW(64),  ROW(68),  ROW(72),  ROW(76),  ROW(80),  ROW(84),  ROW(88),  ROW(92),
    ROW(96),  ROW(100), ROW(104), ROW(108), ROW(112), ROW(116), ROW(120), ROW(124),
    ROW(128), ROW(132), ROW(136), ROW(140), ROW(144), ROW(148), ROW(152), ROW(156),
    ROW(160), ROW(164), ROW(168), ROW(172), ROW(176), ROW(180), ROW(184), ROW(188),
    ROW(192), ROW(196), ROW(200), ROW(204), ROW(208), ROW(212), ROW(216), ROW(220),
    ROW(224), ROW(228), ROW(232), ROW(236), ROW(240), ROW(244), ROW(248), ROW(252),
#undef ROW
};

std::uint32_t UpdateCrc32Tables(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    while (size >= 8) {
        std::uint32_t lo = crc ^ (std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                                  std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
        crc = Tables[7][lo & 0xFF] ^ Tables[6][(lo >> 8) & 0xFF] ^ Tables[5][(lo >> 16) & 0xFF] ^
              Tables[4][lo >> 24] ^ Tables[3][data[4]] ^ Tables[2][data[5]] ^ Tables[1][data[6]] ^
              Tables[0][data[7]];
        data += 8;
        size -= 8;
    }
    while (size--)
        crc = Crc32Byte(crc, *data++);
    return crc;
}

// Folding pays from a few blocks on; the CPU is asked once.
std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    using TUpdate = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);
    static const TUpdate fold = Crc32WideFoldSupported() ? UpdateCrc32WideFold
                                : Crc32FoldSupported()   ? UpdateCrc32Fold
                                                         : nullptr;
    if (fold && size >= 256) return fold(crc, data, size);
    return UpdateCrc32Tables(crc, data, size);
}

} // namespace archive
