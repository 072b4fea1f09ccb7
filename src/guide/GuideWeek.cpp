#include "guide/GuideWeek.h"

#include "U_MainFun.h"

namespace guide {

std::string OneLine(std::string_view text) {
    // The XML parser hands over no control character but tab, CR and LF,
    // so trimming every byte up to the space trims exactly those.
    std::string line(Trim(text));
    for (char& c : line)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return line;
}

TGuideWeek::TGuideWeek(const TGuideWindow& window)
    : window(window), windowStart(window.StartUtc()) {}

TGuideChannel& TGuideWeek::Channel(std::string_view id) {
    // Guides list a channel's programmes together: most look-ups repeat the last.
    if (last < channels.size() && channels[last].id == id) return channels[last];
    auto [it, added] = byId.try_emplace(std::string(id), channels.size());
    if (added) channels.push_back({std::string(id), {}, false, {}});
    last = it->second;
    return channels[last];
}

void TGuideWeek::AddChannel(std::string_view id, std::string_view name, bool hasName) {
    TGuideChannel& channel = Channel(id);
    if (channel.declared) return; // a second declaration of an id changes nothing
    channel.declared = true;
    channel.name = hasName ? std::string(Trim(name)) : std::string(id);
    declaredOrder.push_back(byId[channel.id]);
}

void TGuideWeek::AddProgramme(std::string_view channel, std::string_view start,
                              std::string_view title) {
    const std::optional<std::int64_t> utc = XmltvStartUtc(start);
    if (!utc) return;
    const std::int64_t at = *utc - windowStart;
    if (at < 0 || at >= window.Seconds()) return;
    Channel(channel).programmes.push_back({at, OneLine(title)});
}

std::vector<TGuideChannel*> TGuideWeek::Stations() {
    std::vector<TGuideChannel*> stations;
    for (std::size_t i : declaredOrder)
        if (!channels[i].programmes.empty()) stations.push_back(&channels[i]);
    return stations;
}

} // namespace guide
