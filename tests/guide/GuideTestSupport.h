// What the guide tests share: gzip for guides, the program's own extractor
// over a packed archive, and the raw fields of the archive's central directory.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "archive/TUnZip.h"
#include "platform/Files.h"
#include "support/TempDir.h"

// A gzip member of bytes.
inline std::string Gzip(const std::string& bytes) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct ExtractedFile {
    std::string name; // below the folder, "/" separators, UTF-8
    std::string bytes;
};

// The entries as the update dialog's extractor writes them, in archive order.
inline std::vector<ExtractedFile> ExtractWithTheProgram(const std::string& zip,
                                                        const TempDir& dir) {
    WriteAll(dir.file("packed.zip"), zip);
    archive::TUnZip unzip;
    std::vector<ExtractedFile> files;
    const std::string out = dir.file("out/");
    unzip.OnEnd = [&](QObject*, const std::string& path, bool pass) {
        std::string name = platform::NativePath(path);
        std::replace(name.begin(), name.end(), '\\', '/');
        if (name.rfind(out, 0) == 0) name.erase(0, out.size());
        files.push_back({name, pass ? ReadAll(platform::NativePath(path)) : "<crc error>"});
    };
    unzip.SetArchiveFile(dir.file("packed.zip"));
    unzip.FileSpec().Clear();
    unzip.FileSpec().Add("*.*");
    unzip.SetExtractDir(out);
    unzip.Extract();
    return files;
}

struct CentralEntry {
    std::uint16_t flags, method;
    std::string name; // stored bytes
};

// The central directory's records, read straight from the bytes.
inline std::vector<CentralEntry> CentralDirectory(const std::string& zip) {
    auto u16 = [&](std::size_t at) {
        return std::uint16_t(std::uint8_t(zip.at(at)) | std::uint8_t(zip.at(at + 1)) << 8);
    };
    std::vector<CentralEntry> entries;
    for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos;
         at = zip.find("PK\x01\x02", at + 4))
        entries.push_back({u16(at + 8), u16(at + 10), zip.substr(at + 46, u16(at + 28))});
    return entries;
}
