#include "guide/DeflatedFile.h"

#include <libdeflate.h>

#include <memory>
#include <stdexcept>

namespace guide {
namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// libdeflate compresses a whole buffer in one call, with less CPU time than
// zlib at the same level; station files are whole in memory anyway. One
// compressor per thread, kept for the thread's life.
libdeflate_compressor& Compressor() {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
        libdeflate_alloc_compressor(6));
    if (!compressor) throw std::runtime_error("cannot start deflate");
    return *compressor;
}

} // namespace

TDeflatedFile Deflate(std::string_view content) {
    TDeflatedFile file;
    file.size = content.size();
    file.crc = libdeflate_crc32(0, content.data(), content.size());
    libdeflate_compressor& compressor = Compressor();
    file.data.resize(libdeflate_deflate_compress_bound(&compressor, content.size()));
    const std::size_t n = libdeflate_deflate_compress(&compressor, content.data(), content.size(),
                                                      file.data.data(), file.data.size());
    if (n == 0) throw std::runtime_error("cannot deflate a station file");
    file.data.resize(n);
    return file;
}

} // namespace guide
