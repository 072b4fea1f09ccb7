// A file's content deflated ahead of the archive, so that station files can
// be compressed on another thread while the guide is still being read; the
// ZIP writer stores the bytes as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace guide {

struct TDeflatedFile {
    std::string data; // raw deflate
    std::uint32_t crc = 0;
    std::uint64_t size = 0; // of the content
};

TDeflatedFile Deflate(std::string_view content);

} // namespace guide
