#include "guide/StationPacker.h"

#include "guide/StationText.h"

namespace guide {

TDeflatedFile PackStation(const TGuideWindow& window, TProgrammeList& programmes) {
    return Deflate(StationText(window, programmes));
}

TStationPacker::TStationPacker(const TGuideWindow& window, bool deflate)
    : window(window), deflate(deflate), worker([this] { Run(); }) {}

TStationPacker::~TStationPacker() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
}

void TStationPacker::Submit(std::size_t channel, TProgrammeList programmes) {
    {
        std::lock_guard lock(mutex);
        queue.emplace_back(channel, std::move(programmes));
    }
    wake.notify_all();
}

void TStationPacker::Run() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || finishing || !queue.empty(); });
        if (stopping || (queue.empty() && finishing)) break;
        auto [channel, programmes] = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        TPackedStation station;
        try {
            if (deflate)
                station.file = PackStation(window, programmes);
            else
                station.text = StationText(window, programmes);
        } catch (...) {
            lock.lock();
            failure = std::current_exception();
            break;
        }
        station.programmes = std::move(programmes);
        lock.lock();
        packed.emplace(channel, std::move(station));
    }
}

std::unordered_map<std::size_t, TPackedStation> TStationPacker::Finish() {
    {
        std::lock_guard lock(mutex);
        finishing = true;
    }
    wake.notify_all();
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return std::move(packed);
}

} // namespace guide
