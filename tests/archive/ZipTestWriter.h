// Writes ZIP archives byte by byte for tests, including the shapes no archiver
// makes: wrong offsets, unknown methods, hostile names, overlapping entries,
// Zip64 fields where none are needed, decoy end records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipTestEntry {
    std::string name; // stored bytes, as written (GBK, "..", NUL: anything)
    std::string data; // the entry's data as stored (compressed already when method != 0)
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint32_t dosDateTime = 0x5A2E6000;        // 2025-01-14 12:00:00
    std::optional<std::uint32_t> crc;              // default: CRC-32 of data
    std::optional<std::uint64_t> uncompressedSize; // default: data size
    std::uint32_t externalAttributes = 0x20;
    std::optional<std::string> localName; // a local name other than the central one
    bool dataDescriptor = false;          // flag bit 3: zeros in the local header, descriptor after
    bool zip64 = false;                   // sizes 0xFFFFFFFF, the real ones in a Zip64 extra field
    bool zip64Offset = false;             // the central offset in the Zip64 field too
    std::string password;                 // traditional encryption when not empty
    std::optional<int> sharesDataOf;      // central header points at that entry's local header
    std::optional<std::uint64_t> centralOffset; // central offset field as given
};

struct ZipBuildOptions {
    bool centralDirectory = true;  // false: local headers only, no end record
    bool zip64EndRecords = false;  // Zip64 end record and locator before the end record
    std::string comment;           // archive comment after the end record
    std::string prefix;            // bytes before the first local header
    std::vector<int> centralOrder; // order of the central headers; default archive order

    ZipBuildOptions& NoCentral() { return centralDirectory = false, *this; }
    ZipBuildOptions& Zip64Records() { return zip64EndRecords = true, *this; }
    ZipBuildOptions& Comment(std::string c) { return comment = std::move(c), *this; }
    ZipBuildOptions& Prefix(std::string p) { return prefix = std::move(p), *this; }
    ZipBuildOptions& Order(std::vector<int> o) { return centralOrder = std::move(o), *this; }
};

class ZipTestWriter {
public:
    ZipTestEntry& Add(ZipTestEntry entry);
    ZipTestEntry& AddStored(const std::string& name, const std::string& data);
    ZipTestEntry& AddDirectory(const std::string& name); // name ends in "/"
    std::string Build(const ZipBuildOptions& options = {}) const;

private:
    std::vector<ZipTestEntry> entries;
};

std::uint32_t TestCrc32(const std::string& data);
// A deterministic DOS date-time of the given parts.
std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);
