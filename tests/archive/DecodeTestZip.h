// Test utility, not product code: reads a ZIP file's entries just far enough
// to hand an entry's compressed bytes to DecodeEntry through a memory source,
// and collects the output (with its CRC-32) through a memory sink. Sizes, CRC
// and flags come from the central directory, so entries with a data
// descriptor read correctly.
#pragma once

#include "archive/Crc32.h"
#include "archive/Decoders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace decodetest {

struct TZipTestEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::string data; // compressed bytes, after the encryption header when encrypted
    std::string encryptionHeader;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

inline std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
    if (at + std::size_t(size) > bytes.size()) throw std::runtime_error("ZIP record cut short");
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | std::uint8_t(bytes[at + std::size_t(i)]);
    return value;
}

// Walks the central directory found through the end record.
inline std::vector<TZipTestEntry> ReadZipTestEntries(const std::string& zip) {
    std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) throw std::runtime_error("no end record");
    std::size_t count = Le(zip, end + 10, 2);
    std::size_t at = Le(zip, end + 16, 4);
    std::vector<TZipTestEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        if (Le(zip, at, 4) != 0x02014B50) throw std::runtime_error("bad central header");
        TZipTestEntry entry;
        entry.flags = std::uint16_t(Le(zip, at + 8, 2));
        entry.method = std::uint16_t(Le(zip, at + 10, 2));
        entry.dosTime = std::uint16_t(Le(zip, at + 12, 2));
        entry.crc = Le(zip, at + 16, 4);
        entry.compressedSize = Le(zip, at + 20, 4);
        entry.uncompressedSize = Le(zip, at + 24, 4);
        std::size_t nameLength = Le(zip, at + 28, 2);
        std::size_t extraLength = Le(zip, at + 30, 2);
        std::size_t commentLength = Le(zip, at + 32, 2);
        std::size_t local = Le(zip, at + 42, 4);
        entry.name = zip.substr(at + 46, nameLength);
        at += 46 + nameLength + extraLength + commentLength;

        if (Le(zip, local, 4) != 0x04034B50) throw std::runtime_error("bad local header");
        std::size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
        if (data + entry.compressedSize > zip.size()) throw std::runtime_error("data cut short");
        std::string bytes = zip.substr(data, std::size_t(entry.compressedSize));
        if (entry.flags & 1) {
            entry.encryptionHeader = bytes.substr(0, 12);
            bytes.erase(0, 12);
            entry.compressedSize -= 12;
        }
        entry.data = bytes;
        entries.push_back(entry);
    }
    return entries;
}

inline const TZipTestEntry& FindEntry(const std::vector<TZipTestEntry>& entries,
                                      const std::string& name) {
    for (const TZipTestEntry& entry : entries)
        if (entry.name == name) return entry;
    throw std::runtime_error("no entry " + name);
}

// Serves the bytes in reads whose sizes follow chunks (cycled; none: as asked).
class TMemorySource : public archive::TDecodeSource {
public:
    explicit TMemorySource(std::string data, std::vector<std::size_t> chunks = {})
        : data(std::move(data)), chunks(std::move(chunks)) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t count) override {
        ++reads;
        if (!chunks.empty()) count = std::min(count, chunks[reads % chunks.size()]);
        count = std::min(count, data.size() - position);
        std::copy_n(data.data() + position, count, buffer);
        position += count;
        return count;
    }
    void Unread(std::size_t count) override {
        EXPECT_LE(count, position) << "gave back more than was read";
        position -= std::min(count, position);
    }

    std::size_t Position() const { return position; }

private:
    std::string data;
    std::vector<std::size_t> chunks;
    std::size_t position = 0;
    std::size_t reads = 0;
};

// Collects the output with its CRC-32; can refuse a write or cancel the run.
class TMemorySink : public archive::TDecodeSink {
public:
    bool Write(const std::uint8_t* data, std::size_t size) override {
        EXPECT_LE(size, 32768u) << "chunk larger than 32768 bytes";
        EXPECT_GT(size, 0u) << "empty write";
        largestChunk = std::max(largestChunk, size);
        if (writes++ == failAtWrite) return false;
        output.append(reinterpret_cast<const char*>(data), size);
        crc = archive::UpdateCrc32(crc, data, size);
        return true;
    }
    bool Cancelled() override {
        ++polls;
        return cancelAfterWrites >= 0 && writes >= cancelAfterWrites;
    }
    std::uint32_t Crc() const { return crc ^ 0xFFFFFFFFu; }

    std::string output;
    std::size_t largestChunk = 0;
    int writes = 0;
    int polls = 0;
    int failAtWrite = -1;       // this write (0-based) is refused
    int cancelAfterWrites = -1; // cancelled once this many writes were made

private:
    std::uint32_t crc = 0xFFFFFFFFu;
};

struct TDecoded {
    archive::TDecodeResult result;
    std::string output;
    std::uint32_t crc;
};

inline TDecoded DecodeTestEntry(const TZipTestEntry& entry, std::vector<std::size_t> chunks = {}) {
    TMemorySource source(entry.data, std::move(chunks));
    TMemorySink sink;
    archive::TDecodeEntry decode{entry.method, entry.flags, entry.compressedSize,
                                 entry.uncompressedSize};
    archive::TDecodeResult result = archive::DecodeEntry(decode, source, sink);
    return {result, sink.output, sink.Crc()};
}

inline const char* ResultName(archive::TDecodeResult result) {
    using R = archive::TDecodeResult;
    switch (result) {
    case R::Ok:
        return "Ok";
    case R::DataError:
        return "DataError";
    case R::BadBlock:
        return "BadBlock";
    case R::StackOverflow:
        return "StackOverflow";
    case R::TreeBuild:
        return "TreeBuild";
    case R::TreeDecode:
        return "TreeDecode";
    case R::WriteFailed:
        return "WriteFailed";
    case R::Cancelled:
        return "Cancelled";
    case R::Unsupported:
        return "Unsupported";
    }
    return "?";
}

} // namespace decodetest

namespace archive {
inline void PrintTo(TDecodeResult result, std::ostream* os) {
    *os << decodetest::ResultName(result);
}
} // namespace archive

namespace decodetest {

// A one-entry ZIP file, for the tools that serve as test oracles.
inline std::string WriteZipForTest(const std::string& name, std::uint16_t method,
                                   std::uint16_t flags, const std::string& data, std::uint32_t crc,
                                   std::uint32_t uncompressedSize) {
    auto le = [](std::string& out, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            out.push_back(char(value >> (8 * i)));
    };
    std::string zip;
    le(zip, 0x04034B50, 4);
    le(zip, 10, 2); // version needed
    le(zip, flags, 2);
    le(zip, method, 2);
    le(zip, 0, 2);    // time
    le(zip, 0x21, 2); // date 1980-01-01
    le(zip, crc, 4);
    le(zip, std::uint32_t(data.size()), 4);
    le(zip, uncompressedSize, 4);
    le(zip, std::uint32_t(name.size()), 2);
    le(zip, 0, 2);
    zip += name + data;
    std::size_t central = zip.size();
    le(zip, 0x02014B50, 4);
    le(zip, 10, 2); // made by
    le(zip, 10, 2);
    le(zip, flags, 2);
    le(zip, method, 2);
    le(zip, 0, 2);
    le(zip, 0x21, 2);
    le(zip, crc, 4);
    le(zip, std::uint32_t(data.size()), 4);
    le(zip, uncompressedSize, 4);
    le(zip, std::uint32_t(name.size()), 2);
    le(zip, 0, 2); // extra
    le(zip, 0, 2); // comment
    le(zip, 0, 2); // disk
    le(zip, 0, 2); // internal attributes
    le(zip, 0, 4); // external attributes
    le(zip, 0, 4); // local header offset
    zip += name;
    std::size_t centralSize = zip.size() - central;
    le(zip, 0x06054B50, 4);
    le(zip, 0, 2);
    le(zip, 0, 2);
    le(zip, 1, 2);
    le(zip, 1, 2);
    le(zip, std::uint32_t(centralSize), 4);
    le(zip, std::uint32_t(central), 4);
    le(zip, 0, 2);
    return zip;
}

inline std::uint32_t Crc32Of(const std::string& data) {
    return archive::UpdateCrc32(0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(data.data()),
                                data.size()) ^
           0xFFFFFFFFu;
}

// Runs a shell command; true when it exits with status 0.
inline bool RunTool(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

inline bool HaveTool(const std::string& tool) {
    return RunTool("command -v " + tool + " >/dev/null 2>&1");
}

// Decodes raw data as one entry of the given method, flags and size.
inline TDecoded DecodeBytes(std::uint16_t method, std::uint16_t flags, const std::string& data,
                            std::uint64_t size, std::vector<std::size_t> chunks = {}) {
    TZipTestEntry entry;
    entry.method = method;
    entry.flags = flags;
    entry.data = data;
    entry.compressedSize = data.size();
    entry.uncompressedSize = size;
    return DecodeTestEntry(entry, std::move(chunks));
}

} // namespace decodetest
