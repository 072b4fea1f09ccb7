#include "guide/GuidePacker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "guide/StationFileNames.h"
#include "guide/StationText.h"
#include "guide/ZipWriter.h"
#include "platform/Hive.h"

namespace guide {
namespace {

const std::string Folder = "\xBD\xDA\xC4\xBF\xB5\xA5/"; // 节目单 in GBK

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

TGuidePacker::TGuidePacker(const TGuideWindow& window)
    : week(window), reader(week), unpacker([this](std::string_view xml) { reader.Feed(xml); }) {}

void TGuidePacker::Feed(std::string_view bytes) {
    unpacker.Feed(bytes);
}

std::string TGuidePacker::Finish() {
    unpacker.Finish();
    reader.Finish();
    const std::vector<TGuideChannel*> stations = week.Stations();
    if (stations.empty()) throw std::runtime_error("the guide has no programme in the window");
    TZipWriter zip;
    zip.AddFolder(Folder);
    TStationFileNames names;
    for (TGuideChannel* station : stations)
        zip.AddFile(Folder + names.Add(station->name),
                    StationText(week.Window(), station->programmes));
    return zip.Finish();
}

std::string PackGuideFile(const std::string& path, const TGuideWindow& window) {
    std::unique_ptr<std::FILE, FileClose> owned;
    std::FILE* in = stdin;
    if (path != "-") {
        owned.reset(std::fopen(path.c_str(), "rb"));
        in = owned.get();
        if (!in) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    }
    TGuidePacker packer(window);
    std::string chunk(256 * 1024, '\0');
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0)
        packer.Feed(std::string_view(chunk.data(), n));
    if (std::ferror(in))
        throw std::runtime_error("cannot read " + (path == "-" ? "standard input" : path) + ": " +
                                 std::strerror(errno));
    return packer.Finish();
}

void WriteArchive(const std::string& path, const std::string& zip) {
    if (!platform::ReplaceFile(path, zip, 0644))
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

} // namespace guide
