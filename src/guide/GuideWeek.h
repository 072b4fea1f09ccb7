// The part of a guide that goes into the archive: for each channel the guide
// declares, in its order, its station name and the programmes that start in
// the window. Programmes may come before or after their channel's
// declaration; those of a channel never declared are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "guide/GuideTime.h"

namespace guide {

struct TGuideProgramme {
    std::int64_t start;          // seconds since the window's start
    std::uint32_t title, length; // in the list's titles
};

// A channel's programmes in guide order, their titles (UTF-8, one line each)
// in one string: one allocation per channel, not one per title.
struct TProgrammeList {
    std::vector<TGuideProgramme> items;
    std::string titles;

    bool empty() const { return items.empty(); }
    void Add(std::int64_t start, std::string_view title); // as the guide has it
    std::string_view Title(const TGuideProgramme& p) const {
        return {titles.data() + p.title, p.length};
    }
    void Append(TProgrammeList&& later); // programmes read after these
};

struct TGuideChannel {
    std::size_t index; // in the order first seen
    std::string id;
    std::string name; // UTF-8 station name
    bool declared = false;
    TProgrammeList programmes;
    bool handedOver = false; // earlier programmes went to OnLeave
};

class TGuideWeek {
public:
    explicit TGuideWeek(const TGuideWindow& window);

    // hasName false: the channel has no display name, so its id names it.
    void AddChannel(std::string_view id, std::string_view name, bool hasName);
    void AddProgramme(std::string_view channel, std::string_view start, std::string_view title);

    // Called when a programme of another channel follows those of a channel.
    std::function<void(TGuideChannel&)> OnLeave;

    const TGuideWindow& Window() const { return window; }
    // The latest start of any programme read, in the window or not.
    std::optional<std::int64_t> LastStartUtc() const {
        if (lastStartUtc == INT64_MIN) return std::nullopt;
        return lastStartUtc;
    }
    // The declared channels with a programme in the window (those handed over
    // included), in guide order.
    std::vector<TGuideChannel*> Stations();

private:
    TGuideChannel& Channel(std::string_view id);

    TGuideWindow window;
    std::int64_t windowStart;
    std::vector<TGuideChannel> channels; // in the order first seen
    std::vector<std::size_t> declaredOrder;
    std::unordered_map<std::string, std::size_t> byId;
    std::size_t last = SIZE_MAX;
    std::size_t lastProgramme = SIZE_MAX; // the channel of the last programme read
    std::size_t itemsHint = 0, titlesHint = 0;
    std::int64_t lastStartUtc = INT64_MIN;
    long long keptBytes = 0; // of the programmes in the window
};

} // namespace guide
