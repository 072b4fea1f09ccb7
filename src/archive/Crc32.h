// CRC-32 of the ZIP format (ISO 3309 / ITU-T V.42, reflected polynomial
// 0xEDB88320). Long runs fold with carry-less multiplication where the CPU has
// it; the rest goes through tables, which the traditional decryption shares.
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

// The ways UpdateCrc32 takes, each giving the same CRC, so that tests and
// benchmarks can reach them all: eight tables (any CPU); folding 16 bytes at a
// time with x86's PCLMULQDQ; folding 64 bytes at a time with VPCLMULQDQ on
// 512-bit registers (AVX-512). A fold runs only where its check says so, which
// VIMBREL_CPU can deny it (platform/CpuFeatures.h).
std::uint32_t UpdateCrc32Tables(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
bool Crc32FoldSupported();
std::uint32_t UpdateCrc32Fold(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
bool Crc32WideFoldSupported();
std::uint32_t UpdateCrc32WideFold(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

} // namespace archive
