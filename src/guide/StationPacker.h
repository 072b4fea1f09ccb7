// Packs station files on a second thread while the guide is still being read.
// Guides list most channels' programmes together, so a channel the reader has
// moved on from is usually complete: its programmes are handed over then, and
// any that come later are packed together with them at the end.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "guide/DeflatedFile.h"
#include "guide/GuideWeek.h"

namespace guide {

// A channel's programmes in start order and its station file, deflated or
// as text.
struct TPackedStation {
    TProgrammeList programmes;
    TDeflatedFile file;
    std::string text;
};

// Sorts the programmes and gives the station file they make.
TDeflatedFile PackStation(const TGuideWindow& window, TProgrammeList& programmes);

class TStationPacker {
public:
    // deflate false: the stations are kept as texts.
    TStationPacker(const TGuideWindow& window, bool deflate);
    ~TStationPacker(); // drops the work not done yet
    TStationPacker(const TStationPacker&) = delete;
    TStationPacker& operator=(const TStationPacker&) = delete;

    void Submit(std::size_t channel, TProgrammeList programmes);
    // Waits for every channel submitted; throws what packing one threw.
    std::unordered_map<std::size_t, TPackedStation> Finish();

private:
    void Run();

    const TGuideWindow window;
    const bool deflate;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::pair<std::size_t, TProgrammeList>> queue;
    std::unordered_map<std::size_t, TPackedStation> packed;
    bool finishing = false, stopping = false;
    std::exception_ptr failure;
    std::thread worker; // last: it starts once the rest is ready
};

} // namespace guide
