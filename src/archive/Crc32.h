// CRC-32 of the ZIP format (ISO 3309 / ITU-T V.42, reflected polynomial
// 0xEDB88320), table-driven. The traditional decryption shares the table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archive {

extern const std::uint32_t Crc32Table[256];

// Continues a running CRC (start with 0xFFFFFFFF, finish with xor 0xFFFFFFFF).
std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

inline std::uint32_t Crc32Byte(std::uint32_t crc, std::uint8_t byte) {
    return Crc32Table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

} // namespace archive
