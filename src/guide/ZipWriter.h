// Writes a ZIP archive in memory through libzip: stored folders and deflated
// files. Names are the bytes given (GBK here): libzip sets the UTF-8 flag only
// for names declared UTF-8, so extractors read them in the OEM code page.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include <zip.h>

#include "guide/DeflatedFile.h"

namespace guide {

class TZipWriter {
public:
    // dosDateTime: every entry's MS-DOS date (high word) and time (low word);
    // 0 means now.
    explicit TZipWriter(std::uint32_t dosDateTime = 0);
    TZipWriter(const TZipWriter&) = delete;
    TZipWriter& operator=(const TZipWriter&) = delete;

    void AddFolder(const std::string& name); // name ends in "/"
    void AddFile(const std::string& name, std::string content);
    void AddFile(const std::string& name, TDeflatedFile file); // stored as deflated
    // The archive's bytes; the writer takes no more entries.
    std::string Finish();

private:
    struct ArchiveDiscard {
        void operator()(zip_t* z) const { zip_discard(z); }
    };
    struct SourceFree {
        void operator()(zip_source_t* s) const { zip_source_free(s); }
    };
    [[noreturn]] void Fail(const char* what);
    void Stamp(zip_int64_t index);
    void Add(const std::string& name, zip_source_t* source, bool deflate);

    std::uint32_t dosDateTime;
    std::unique_ptr<zip_source_t, SourceFree> target; // the archive's bytes
    std::unique_ptr<zip_t, ArchiveDiscard> archive;
    std::deque<std::string> contents; // libzip reads them when the archive closes
    std::deque<TDeflatedFile> deflated;
};

} // namespace guide
