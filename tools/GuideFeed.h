// The archive the demo server hands out for a real guide. A file is packed
// again when it changes (or the week moves on); an http/https URL is fetched
// with libcurl and packed as it arrives, at most once an hour. A failed pack
// or fetch keeps the last good archive and logs one line.
#pragma once

#include <sys/stat.h>

#include <QDate>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TGuideFeed {
public:
    using TLog = std::function<void(const std::string&)>;
    TGuideFeed(std::string guide, TLog log);
    ~TGuideFeed(); // stops the hourly fetch
    TGuideFeed(const TGuideFeed&) = delete;
    TGuideFeed& operator=(const TGuideFeed&) = delete;

    static bool IsUrl(const std::string& guide);
    // The archive to serve, or null while no pack has succeeded. A file that
    // changed since its last pack is packed again first.
    std::shared_ptr<const std::string> Archive();
    // Packs (a file) or fetches and packs (a URL) now; false keeps the last
    // good archive.
    bool Refresh();
    // A URL: fetches now, then once an hour, on a thread of its own.
    void StartHourly();

private:
    struct TFileState {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        QDate monday;
        bool operator==(const TFileState& o) const;
    };
    TFileState CurrentState() const;
    std::string Pack(); // throws with the reason

    const std::string guide;
    const TLog log;
    std::mutex mutex;
    std::shared_ptr<const std::string> archive;
    TFileState packedState;
    bool stopping = false;
    std::condition_variable wake;
    std::thread hourly;
};
