// The part of a guide that goes into the archive: for each channel the guide
// declares, in its order, its station name and the programmes that start in
// the window. Programmes may come before or after their channel's
// declaration; those of a channel never declared are dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "guide/GuideTime.h"

namespace guide {

struct TGuideProgramme {
    std::int64_t start; // seconds since the window's start
    std::string title;  // UTF-8, trimmed, one line
};

struct TGuideChannel {
    std::string id;
    std::string name; // UTF-8 station name
    bool declared = false;
    std::vector<TGuideProgramme> programmes; // in guide order
};

class TGuideWeek {
public:
    explicit TGuideWeek(const TGuideWindow& window);

    // hasName false: the channel has no display name, so its id names it.
    void AddChannel(std::string_view id, std::string_view name, bool hasName);
    void AddProgramme(std::string_view channel, std::string_view start, std::string_view title);

    const TGuideWindow& Window() const { return window; }
    // The declared channels with a programme in the window, in guide order.
    std::vector<TGuideChannel*> Stations();

private:
    TGuideChannel& Channel(std::string_view id);

    TGuideWindow window;
    std::int64_t windowStart;
    std::vector<TGuideChannel> channels; // in the order first seen
    std::vector<std::size_t> declaredOrder;
    std::unordered_map<std::string, std::size_t> byId;
    std::size_t last = SIZE_MAX;
};

// A title or name as the station text holds it: ASCII white space trimmed
// from both ends, every inner CR, LF and tab one space.
std::string OneLine(std::string_view text);

} // namespace guide
