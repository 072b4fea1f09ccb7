#include "guide/GuidePacker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "guide/StationFileNames.h"
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
    : week(window), stations(window), reader(week),
      unpacker([this](std::string_view xml) { reader.Feed(xml); }) {
    week.OnLeave = [this](TGuideChannel& channel) { HandOver(channel); };
}

// A channel is handed over once: a guide that is not grouped by channel would
// otherwise pack its channels again and again.
void TGuidePacker::HandOver(TGuideChannel& channel) {
    if (channel.handedOver || channel.programmes.empty()) return;
    channel.handedOver = true;
    stations.Submit(channel.index, std::move(channel.programmes));
    channel.programmes = {};
}

void TGuidePacker::Feed(std::string_view bytes) {
    unpacker.Feed(bytes);
}

std::string TGuidePacker::Finish() {
    unpacker.Finish();
    reader.Finish();
    std::unordered_map<std::size_t, TPackedStation> packed = stations.Finish();
    const std::vector<TGuideChannel*> channels = week.Stations();
    if (channels.empty()) throw std::runtime_error("the guide has no programme in the window");
    TZipWriter zip;
    zip.AddFolder(Folder);
    TStationFileNames names;
    for (TGuideChannel* channel : channels) {
        const std::string name = Folder + names.Add(channel->name);
        auto early = packed.find(channel->index);
        if (early != packed.end() && channel->programmes.empty()) {
            zip.AddFile(name, std::move(early->second.file));
            continue;
        }
        // Programmes that came after the hand-over follow the earlier ones,
        // so that equal starts keep the guide's order.
        TProgrammeList all;
        if (early != packed.end()) all = std::move(early->second.programmes);
        all.Append(std::move(channel->programmes));
        zip.AddFile(name, PackStation(week.Window(), all));
    }
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
