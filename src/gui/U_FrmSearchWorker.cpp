#include "gui/U_FrmSearchWorker.h"

#include "schedule/U_TvSchedule.h"

namespace {

// "正在搜索电视台：" in GBK: the progress text goes out with the station name.
const char* const SearchingStation =
    "\xD5\xFD\xD4\xDA\xCB\xD1\xCB\xF7\xB5\xE7\xCA\xD3\xCC\xA8\xA3\xBA";

} // namespace

TTvSearchThread::TTvSearchThread(TScheduleObject* schedule, std::string key,
                                 StationSnapshot stations, std::atomic<bool>& stopRequested)
    : Schedule(schedule), Key(std::move(key)), Stations(std::move(stations)),
      StopRequested(stopRequested) {}

TTvSearchThread::~TTvSearchThread() {
    StopRequested = true;
    Resume();
    wait(); // it never waits for the GUI thread once it is not paused
    // Messages nobody took (a closed dialog) go under the lock the worker
    // sent them under.
    std::lock_guard lock(outboxMutex);
    outbox.clear();
}

void TTvSearchThread::Pause() {
    std::lock_guard lock(pauseMutex);
    paused = true;
}

void TTvSearchThread::Resume() {
    std::lock_guard lock(pauseMutex);
    paused = false;
    resumed.notify_all();
}

void TTvSearchThread::TakeMessages(std::deque<TSearchMessage>& inbox) {
    std::lock_guard lock(outboxMutex);
    for (TSearchMessage& message : outbox)
        inbox.push_back(std::move(message));
    outbox.clear();
}

void TTvSearchThread::Send(TSearchMessage message) {
    const bool last = message.Kind == TSearchMessage::smEnd;
    bool wasEmpty;
    {
        std::lock_guard lock(outboxMutex);
        wasEmpty = outbox.empty();
        outbox.push_back(std::move(message));
    }
    // One notice for the messages that gather until the GUI thread takes
    // them; the end notice is told at once, so that the search ends promptly.
    if (wasEmpty || last) emit MessagesPosted(last);
}

void TTvSearchThread::WaitWhilePaused(int i) {
    std::unique_lock lock(pauseMutex);
    if (!paused) return;
    if (OnSafePoint) {
        lock.unlock();
        OnSafePoint(i, spPausing);
        lock.lock();
    }
    resumed.wait(lock, [this] { return !paused; });
}

void TTvSearchThread::run() {
    std::string unread;
    for (int i = 0; i < int(Stations.size()); ++i) {
        // Pause before the stop check: a stop clicked before a pause ends the
        // search once it is resumed.
        WaitWhilePaused(i);
        if (StopRequested) break;
        Send({TSearchMessage::smProgress, SearchingStation + Stations[std::size_t(i)].Name, {}});
        if (OnSafePoint) OnSafePoint(i, spStation);
        if (!SearchStation(i)) {
            unread = Stations[std::size_t(i)].Name;
            break;
        }
    }
    // A station's text is held only while it is searched.
    Text = {};
    Found = TStationMatches();
    Send({TSearchMessage::smEnd, std::move(unread), {}});
}

bool TTvSearchThread::SearchStation(int i) {
    if (!Schedule) return false;
    if (!SearchScheduleStation(*Schedule, Stations[std::size_t(i)].Offset, Finder, Text, Found))
        return false;
    if (!Found.Matches.empty())
        Send({TSearchMessage::smRows,
              {},
              std::make_shared<const TSearchBatch>(Schedule->StationDisplayName(), Found, Text)});
    return true;
}
