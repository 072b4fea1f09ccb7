// Little-endian reads over a byte range, for the binary records the program
// parses (ZIP headers, the schedule file's index). A read past the end gives 0
// (or no bytes) and clears ok() for good, so a record is read field by field
// and checked once, after its last field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

// The bytes of a text, for the parsers that take a byte range.
inline std::span<const std::uint8_t> ByteSpan(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class TByteCursor {
public:
    TByteCursor(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    explicit TByteCursor(std::span<const std::uint8_t> bytes)
        : TByteCursor(bytes.data(), bytes.size()) {}
    explicit TByteCursor(std::string_view bytes)
        : TByteCursor(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}

    std::uint16_t U16() { return std::uint16_t(Take(2)); }
    std::uint32_t U32() { return std::uint32_t(Take(4)); }
    std::int32_t I32() { return std::int32_t(Take(4)); }
    std::uint64_t U64() { return Take(8); }
    // The next n bytes; none after an overrun.
    std::string_view Bytes(std::size_t n) {
        if (!Claim(n)) return {};
        const char* at = reinterpret_cast<const char*>(data) + pos;
        pos += n;
        return {at, n};
    }
    void Skip(std::size_t n) {
        if (Claim(n)) pos += n;
    }
    std::size_t Left() const { return size - pos; }
    bool ok() const { return good; }

private:
    // Whether n more bytes are there; an overrun ends every later read too.
    bool Claim(std::size_t n) {
        if (good && n <= size - pos) return true;
        good = false;
        pos = size;
        return false;
    }
    std::uint64_t Take(std::size_t n) {
        if (!Claim(n)) return 0;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= std::uint64_t(data[pos + i]) << (8 * i);
        pos += n;
        return v;
    }

    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool good = true;
};

} // namespace platform
