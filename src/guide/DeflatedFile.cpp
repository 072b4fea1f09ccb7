#include "guide/DeflatedFile.h"

#include <zlib.h>

#include <stdexcept>

namespace guide {

TDeflatedFile Deflate(std::string_view content) {
    TDeflatedFile file;
    file.size = content.size();
    const auto* in = reinterpret_cast<const Bytef*>(content.data());
    file.crc = std::uint32_t(crc32(0, in, uInt(content.size())));
    z_stream z{};
    // Raw deflate (no zlib wrapper), zlib's default level.
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot start deflate");
    file.data.resize(deflateBound(&z, uLong(content.size())));
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(content.size());
    z.next_out = reinterpret_cast<Bytef*>(file.data.data());
    z.avail_out = uInt(file.data.size());
    const int result = deflate(&z, Z_FINISH);
    file.data.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END) throw std::runtime_error("cannot deflate a station file");
    return file;
}

} // namespace guide
