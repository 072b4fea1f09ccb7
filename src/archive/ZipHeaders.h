// The ZIP records as the reader uses them (APPNOTE 4.3), parsed from raw bytes
// with a bounds-checked cursor. Fields not listed are read past and ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/ByteCursor.h"

namespace archive {

inline constexpr std::uint32_t LocalHeaderSig = 0x04034B50;    // "PK" 3 4
inline constexpr std::uint32_t CentralHeaderSig = 0x02014B50;  // "PK" 1 2
inline constexpr std::uint32_t EndRecordSig = 0x06054B50;      // "PK" 5 6
inline constexpr std::uint32_t Zip64LocatorSig = 0x07064B50;   // "PK" 6 7
inline constexpr std::uint32_t Zip64EndRecordSig = 0x06064B50; // "PK" 6 6
inline constexpr std::uint32_t SpanningSig = 0x08074B50;       // "PK" 7 8

inline constexpr std::size_t LocalHeaderSize = 30;
inline constexpr std::size_t CentralHeaderSize = 46;
inline constexpr std::size_t EndRecordSize = 22;
inline constexpr std::size_t Zip64LocatorSize = 20;
inline constexpr std::size_t Zip64EndRecordSize = 56;
// Names are read into a 256-byte buffer: at most 255 bytes are used.
inline constexpr std::size_t MaxNameLength = 255;

inline constexpr std::uint16_t FlagEncrypted = 0x0001;
inline constexpr std::uint16_t FlagDataDescriptor = 0x0008;
inline constexpr std::uint32_t AttrDirectory = 0x10;

// Bytes that start with "PK" but mark something other than a plain ZIP:
// a central header first (a multi-volume set), a spanning marker, or one of
// the other formats that begin with "PK".
inline constexpr std::uint32_t OtherPkSigs[] = {CentralHeaderSig, SpanningSig, 0x34474B50,
                                                0x35474B50, 0x49434B50};

// A Zip64 value replaces a 32-bit field that holds this; of the 64-bit value,
// the low 48 bits are kept, which no real archive exceeds and which keeps
// offset arithmetic on hostile values from overflowing.
inline constexpr std::uint32_t Zip64Overflow = 0xFFFFFFFF;
inline constexpr std::uint64_t Low48Bits = (std::uint64_t(1) << 48) - 1;
inline constexpr std::uint16_t Zip64ExtraTag = 0x0001;

using platform::ByteSpan;
using platform::TByteCursor;

// The signature at b: its first four bytes, little-endian.
inline std::uint32_t Sig(const std::uint8_t* b) {
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

// What the local and the central header of an entry both hold, in the same
// order from the flags to the extra field's length.
struct TEntryHeader {
    std::uint32_t Signature = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint32_t DosDateTime = 0; // time in the low word, date in the high word
    std::uint32_t Crc32 = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
};

struct TLocalHeader : TEntryHeader {};

struct TCentralHeader : TEntryHeader {
    std::uint16_t CommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint64_t LocalHeaderOffset = 0;
};

struct TEndRecord {
    std::uint32_t Signature = 0;
    std::uint16_t ThisDisk = 0;
    std::uint16_t StartDisk = 0; // the disk where the central directory starts
    std::uint16_t EntriesOnDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralDirSize = 0;
    std::uint32_t CentralDirOffset = 0;
    std::uint16_t CommentLength = 0;
};

// Each parser reads its record from the start of bytes; false when bytes are
// too short for it or do not start with its signature.
bool ParseLocalHeader(std::span<const std::uint8_t> bytes, TLocalHeader& header);
bool ParseCentralHeader(std::span<const std::uint8_t> bytes, TCentralHeader& header);
bool ParseEndRecord(std::span<const std::uint8_t> bytes, TEndRecord& record);
// The Zip64 end record's offset, from the locator right before the end record.
bool ParseZip64Locator(std::span<const std::uint8_t> bytes, std::uint64_t& endRecordOffset);
// The central directory's size, from the Zip64 end record before the locator.
bool ParseZip64EndRecord(std::span<const std::uint8_t> bytes, std::uint64_t& centralDirSize);

// Reads the extra field: a Zip64 extended-information field (tag 0x0001)
// replaces, in order, the uncompressed size, the compressed size and (central
// header only, offset given) the local header offset, each only where its
// 32-bit field holds Zip64Overflow; the low 48 bits of each are kept. Other tags
// are skipped by their size; a size past the end of the field ends the parse.
void ApplyZip64Extra(std::string_view extra, std::uint64_t& uncompressedSize,
                     std::uint64_t& compressedSize, std::uint64_t* localHeaderOffset);

} // namespace archive
