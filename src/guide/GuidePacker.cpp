#include "guide/GuidePacker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "guide/GuideError.h"
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

TGuidePacker::TGuidePacker(const TGuideWindow& window, bool texts)
    : week(window), stations(window, !texts), reader(week), unpacker([this](std::string_view xml) {
          xmlBytes += xml.size();
          if (xmlBytes > MaxGuideBytes)
              throw EGuideError(EGuideError::ceTooLarge, "the guide holds more than " +
                                                             std::to_string(MaxGuideBytes >> 20) +
                                                             " MB of XML");
          reader.Feed(xml);
      }) {
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

namespace {

// The day of a moment on the window's wall clock.
QDate WallDay(const TGuideWindow& window, std::int64_t utc) {
    const std::int64_t wall = window.WallSeconds(utc);
    return window.from.addDays(wall >= 0 ? wall / 86400 : -((-wall + 86399) / 86400));
}

} // namespace

void TGuidePacker::NoProgramme() const {
    EGuideError e(EGuideError::ceNoProgramme, "the guide has no programme in the window");
    if (const std::optional<std::int64_t> last = week.LastStartUtc())
        e.lastDay = WallDay(week.Window(), *last);
    throw e;
}

// Hands each station in guide order to each(name, packed, programmes): what
// the second thread packed of it when nothing came later, else all its
// programmes.
template <class Each> void TGuidePacker::EachStation(Each each) {
    unpacker.Finish();
    reader.Finish();
    std::unordered_map<std::size_t, TPackedStation> packed = stations.Finish();
    const std::vector<TGuideChannel*> channels = week.Stations();
    if (channels.empty()) NoProgramme();
    TStationFileNames names;
    for (TGuideChannel* channel : channels) {
        const std::string name = names.Add(channel->name);
        auto early = packed.find(channel->index);
        if (early != packed.end() && channel->programmes.empty()) {
            each(name, &early->second, nullptr);
            continue;
        }
        // Programmes that came after the hand-over follow the earlier ones,
        // so that equal starts keep the guide's order.
        TProgrammeList all;
        if (early != packed.end()) all = std::move(early->second.programmes);
        all.Append(std::move(channel->programmes));
        each(name, nullptr, &all);
    }
}

std::string TGuidePacker::Finish() {
    TZipWriter zip;
    zip.AddFolder(Folder);
    EachStation([&](const std::string& name, TPackedStation* early, TProgrammeList* all) {
        zip.AddFile(Folder + name,
                    early ? std::move(early->file) : PackStation(week.Window(), *all));
    });
    return zip.Finish();
}

std::vector<TStationFile> TGuidePacker::FinishTexts() {
    std::vector<TStationFile> files;
    EachStation([&](const std::string& name, TPackedStation* early, TProgrammeList* all) {
        files.push_back({name, early ? std::move(early->text) : StationText(week.Window(), *all)});
    });
    return files;
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
