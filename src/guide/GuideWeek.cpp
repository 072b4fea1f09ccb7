#include "guide/GuideWeek.h"

#include <algorithm>

#include "guide/GuideError.h"
#include "schedule/U_MainFunText.h"

namespace guide {

// A title as the station text holds it: ASCII white space trimmed from both
// ends, every inner CR, LF and tab one space. The XML parser hands over no
// control character but tab, CR and LF, so trimming every byte up to the
// space trims exactly those.
void TProgrammeList::Add(std::int64_t start, std::string_view title) {
    title = TrimControls(title);
    const std::size_t at = titles.size();
    titles.append(title);
    for (std::size_t i = at; i < titles.size(); ++i)
        if (titles[i] == '\r' || titles[i] == '\n' || titles[i] == '\t') titles[i] = ' ';
    items.push_back({start, std::uint32_t(at), std::uint32_t(title.size())});
}

void TProgrammeList::Append(TProgrammeList&& later) {
    const auto shift = std::uint32_t(titles.size());
    titles += later.titles;
    for (TGuideProgramme p : later.items) {
        p.title += shift;
        items.push_back(p);
    }
    later = {};
}

TGuideWeek::TGuideWeek(const TGuideWindow& window)
    : window(window), windowStart(window.StartUtc()) {}

TGuideChannel& TGuideWeek::Channel(std::string_view id) {
    // Guides list a channel's programmes together: most look-ups repeat the last.
    if (last < channels.size() && channels[last].id == id) return channels[last];
    auto [it, added] = byId.try_emplace(std::string(id), channels.size());
    if (added) channels.push_back({channels.size(), std::string(id), {}, false, {}});
    last = it->second;
    return channels[last];
}

void TGuideWeek::AddChannel(std::string_view id, std::string_view name, bool hasName) {
    TGuideChannel& channel = Channel(id);
    if (channel.declared) return; // a second declaration of an id changes nothing
    channel.declared = true;
    channel.name = hasName ? std::string(TrimControls(name)) : std::string(id);
    declaredOrder.push_back(byId[channel.id]);
}

void TGuideWeek::AddProgramme(std::string_view channel, std::string_view start,
                              std::string_view title) {
    const std::optional<std::int64_t> utc = XmltvStartUtc(start);
    if (!utc) return;
    lastStartUtc = std::max(lastStartUtc, *utc);
    const std::int64_t at =
        window.zoneOffsets.empty() ? *utc - windowStart : window.WallSeconds(*utc);
    if (at < 0 || at >= window.Seconds()) return;
    TGuideChannel& to = Channel(channel);
    if (lastProgramme != to.index) {
        if (lastProgramme < channels.size()) {
            const TProgrammeList& left = channels[lastProgramme].programmes;
            itemsHint = left.items.size();
            titlesHint = left.titles.size();
            if (OnLeave) OnLeave(channels[lastProgramme]);
        }
        // The channels of a guide have much the same number of programmes:
        // room for as many as the last one had saves growing step by step.
        if (to.programmes.items.capacity() == 0) {
            to.programmes.items.reserve(itemsHint);
            to.programmes.titles.reserve(titlesHint);
        }
        lastProgramme = to.index;
    }
    to.programmes.Add(at, title);
    keptBytes += sizeof(TGuideProgramme) + title.size();
    if (keptBytes > MaxWindowBytes)
        throw EGuideError(EGuideError::ceTooMany, "the guide holds more than " +
                                                      std::to_string(MaxWindowBytes >> 20) +
                                                      " MB of programmes in the window");
}

std::vector<TGuideChannel*> TGuideWeek::Stations() {
    std::vector<TGuideChannel*> stations;
    for (std::size_t i : declaredOrder)
        if (!channels[i].programmes.empty() || channels[i].handedOver)
            stations.push_back(&channels[i]);
    return stations;
}

} // namespace guide
