#include "guide/ZipWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace guide {
namespace {

// A libzip source over deflated bytes: its stat names the method, size and
// CRC, so libzip copies the bytes instead of compressing them again.
struct DeflatedSource {
    const TDeflatedFile* file;
    std::size_t at = 0;

    static zip_int64_t Call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
        auto* source = static_cast<DeflatedSource*>(self);
        const TDeflatedFile& f = *source->file;
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            source->at = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::size_t n = std::min<std::size_t>(length, f.data.size() - source->at);
            std::memcpy(data, f.data.data() + source->at, n);
            source->at += n;
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
            st->size = f.size;
            st->comp_size = f.data.size();
            st->comp_method = ZIP_CM_DEFLATE;
            st->crc = f.crc;
            return sizeof *st;
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(nullptr, data, length);
        case ZIP_SOURCE_FREE:
            delete source;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return -1;
        }
    }
};

} // namespace

TZipWriter::TZipWriter(std::uint32_t dosDateTime) : dosDateTime(dosDateTime) {
    zip_error_t error;
    zip_error_init(&error);
    target.reset(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (target) archive.reset(zip_open_from_source(target.get(), ZIP_TRUNCATE, &error));
    zip_error_fini(&error);
    if (!archive) throw std::runtime_error("cannot start a ZIP archive");
    // The archive now holds a reference; ours keeps the bytes after closing.
    zip_source_keep(target.get());
}

void TZipWriter::Fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + zip_strerror(archive.get()));
}

void TZipWriter::Stamp(zip_int64_t index) {
    if (dosDateTime != 0 && zip_file_set_dostime(archive.get(), zip_uint64_t(index),
                                                 dosDateTime & 0xFFFF, dosDateTime >> 16, 0) != 0)
        Fail("cannot date an archive entry");
}

void TZipWriter::AddFolder(const std::string& name) {
    const zip_int64_t index = zip_dir_add(archive.get(), name.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0) Fail("cannot add a folder to the archive");
    Stamp(index);
}

void TZipWriter::Add(const std::string& name, zip_source_t* source, bool deflate) {
    if (!source) Fail("cannot add a file to the archive");
    const zip_int64_t index = zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(source);
        Fail("cannot add a file to the archive");
    }
    // Deflated bytes keep the method their source names.
    if (deflate && zip_set_file_compression(archive.get(), zip_uint64_t(index), ZIP_CM_DEFLATE, 6))
        Fail("cannot deflate an archive entry");
    Stamp(index);
}

void TZipWriter::AddFile(const std::string& name, std::string content) {
    const std::string& kept = contents.emplace_back(std::move(content));
    Add(name, zip_source_buffer(archive.get(), kept.data(), kept.size(), 0), true);
}

void TZipWriter::AddFile(const std::string& name, TDeflatedFile file) {
    auto* state = new DeflatedSource{&deflated.emplace_back(std::move(file))};
    zip_source_t* source = zip_source_function(archive.get(), DeflatedSource::Call, state);
    if (!source) delete state;
    Add(name, source, false);
}

std::string TZipWriter::Finish() {
    if (zip_close(archive.get()) != 0) Fail("cannot write the archive");
    archive.release(); // closed: nothing left to discard
    contents.clear();
    deflated.clear();
    zip_source_t* bytes = target.get();
    zip_stat_t stat;
    if (zip_source_stat(bytes, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        zip_source_open(bytes) != 0)
        throw std::runtime_error("cannot read the written archive");
    std::string zip(stat.size, '\0');
    const zip_int64_t got = zip_source_read(bytes, zip.data(), zip.size());
    zip_source_close(bytes);
    if (got != zip_int64_t(zip.size())) throw std::runtime_error("cannot read the written archive");
    return zip;
}

} // namespace guide
