// The seam between the extraction run and the decoders of compressed entries.
// A decoder is a function of its input and output: it reads the entry's
// compressed bytes from one source (the archive read, decrypting when the entry
// is encrypted) and writes every decoded byte to one sink (the output writer
// with the running CRC-32 and the progress step). It never touches files,
// threads or Qt, and it never writes more than the entry's uncompressed size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archive {

// Compression methods, by their numbers in the ZIP format.
inline constexpr std::uint16_t MethodStored = 0;
inline constexpr std::uint16_t MethodShrunk = 1;
inline constexpr std::uint16_t MethodReduced1 = 2; // reduced with compression factor 1, ...
inline constexpr std::uint16_t MethodReduced4 = 5; // ... up to factor 4
inline constexpr std::uint16_t MethodImploded = 6;
inline constexpr std::uint16_t MethodTokenized = 7; // no writer makes it; no decoder reads it
inline constexpr std::uint16_t MethodDeflated = 8;
inline constexpr std::uint16_t MethodDeflate64 = 9;

class TDecodeSource {
public:
    // Up to count bytes of the entry's data; 0 when its data is used up or the
    // archive read failed.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t count) = 0;
    // Gives back the last count bytes read but not used (inflate reads ahead).
    virtual void Unread(std::size_t count) = 0;

protected:
    ~TDecodeSource() = default;
};

class TDecodeSink {
public:
    // Writes a chunk of at most 32768 bytes, updates the CRC and runs the
    // progress step. false: the writer did not accept it. May throw the run's
    // own run-ending error (disk full); decoders hold nothing but RAII owners.
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
    // Polled by the decoders; a cancelled run ends the entry.
    virtual bool Cancelled() = 0;

protected:
    ~TDecodeSink() = default;
};

// One result per kind of outcome; the extraction run turns them into reports.
enum class TDecodeResult {
    Ok,            // the data was decoded to its end (or to the uncompressed size)
    DataError,     // invalid or truncated data: the entry ends, the CRC check reports it
    BadBlock,      // 25116: unshrink's missing first code, bad control code, code > 8191
    StackOverflow, // 25299: unshrink's decode stack full (output flushed first)
    TreeBuild,     // 25293 reported, entry not decoded: explode tree past its capacity
    TreeDecode,    // 25293, run ends: explode slot already taken or empty branch reached
    WriteFailed,   // 25136, run ends: the sink did not accept a chunk
    Cancelled,     // the run was cancelled
    Unsupported,   // 25326: method 7 or above 9
};

struct TDecodeEntry {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;          // bit 1, bit 2: implode options
    std::uint64_t compressedSize = 0; // still to read (less the 12-byte encryption header)
    std::uint64_t uncompressedSize = 0;
};

// Dispatches on the method: unshrink, unreduce, explode, inflate and
// Deflate64. Stored data is copied by the extraction run itself.
TDecodeResult DecodeEntry(const TDecodeEntry& entry, TDecodeSource& source, TDecodeSink& sink);

} // namespace archive
