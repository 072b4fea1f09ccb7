#include "guide/ZipWriter.h"

#include <stdexcept>

namespace guide {

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

void TZipWriter::AddFile(const std::string& name, std::string content) {
    const std::string& kept = contents.emplace_back(std::move(content));
    zip_source_t* source = zip_source_buffer(archive.get(), kept.data(), kept.size(), 0);
    if (!source) Fail("cannot add a file to the archive");
    const zip_int64_t index = zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(source);
        Fail("cannot add a file to the archive");
    }
    if (zip_set_file_compression(archive.get(), zip_uint64_t(index), ZIP_CM_DEFLATE, 6) != 0)
        Fail("cannot deflate an archive entry");
    Stamp(index);
}

std::string TZipWriter::Finish() {
    if (zip_close(archive.get()) != 0) Fail("cannot write the archive");
    archive.release(); // closed: nothing left to discard
    contents.clear();
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
