#include "GuideFeed.h"

#include <curl/curl.h>

#include <chrono>
#include <exception>
#include <stdexcept>

#include "guide/GuidePacker.h"
#include "http/CurlTransfer.h"

namespace {

constexpr int OffsetMinutes = 480; // the program's schedules are Beijing time

guide::TGuideWindow DefaultWindow() {
    guide::TGuideWindow window;
    window.from = guide::ThisWeeksMonday(OffsetMinutes);
    window.offsetMinutes = OffsetMinutes;
    return window;
}

struct EasyCleanup {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// Feeds the body to the packer; an exception must not cross curl's C frames,
// so it is kept and the transfer stopped.
struct Download {
    guide::TGuidePacker packer{DefaultWindow()};
    std::exception_ptr failure;

    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto* d = static_cast<Download*>(self);
        try {
            d->packer.Feed(std::string_view(data, size * count));
            return size * count;
        } catch (...) {
            d->failure = std::current_exception();
            return 0;
        }
    }
};

std::string FetchAndPack(const std::string& url) {
    std::unique_ptr<CURL, EasyCleanup> easy(curl_easy_init());
    if (!easy) throw std::runtime_error("cannot start a download");
    Download download;
    char error[CURL_ERROR_SIZE] = "";
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    platform::FollowRedirectsLikeTheSystem(c);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, ""); // plain guides often travel compressed
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    // A stalled source ends the attempt: under 1 byte/s for a minute.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "vimbrel-demo-server");
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Download::OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, static_cast<void*>(&download));
    const CURLcode result = curl_easy_perform(c);
    if (download.failure) std::rethrow_exception(download.failure);
    if (result != CURLE_OK) throw std::runtime_error(*error ? error : curl_easy_strerror(result));
    return download.packer.Finish();
}

} // namespace

bool TGuideFeed::TFileState::operator==(const TFileState& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           monday == o.monday;
}

TGuideFeed::TGuideFeed(std::string guide, TLog log)
    : guide(std::move(guide)), log(std::move(log)) {}

TGuideFeed::~TGuideFeed() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (hourly.joinable()) hourly.join();
}

bool TGuideFeed::IsUrl(const std::string& guide) {
    return guide.rfind("http://", 0) == 0 || guide.rfind("https://", 0) == 0;
}

TGuideFeed::TFileState TGuideFeed::CurrentState() const {
    TFileState state;
    state.monday = guide::ThisWeeksMonday(OffsetMinutes);
    struct stat st;
    if (IsUrl(guide) || stat(guide.c_str(), &st) != 0) return state;
    state.device = st.st_dev;
    state.inode = st.st_ino;
    state.size = st.st_size;
    state.modified = st.st_mtim;
    return state;
}

std::string TGuideFeed::Pack() {
    return IsUrl(guide) ? FetchAndPack(guide) : guide::PackGuideFile(guide, DefaultWindow());
}

bool TGuideFeed::Refresh() {
    const TFileState state = CurrentState();
    try {
        auto packed = std::make_shared<const std::string>(Pack());
        log("packed " + guide + ": " + std::to_string(packed->size()) + " bytes");
        std::lock_guard lock(mutex);
        archive = std::move(packed);
        packedState = state;
        return true;
    } catch (const std::exception& e) {
        log("cannot pack " + guide + ": " + e.what() + "; keeping the last good archive");
        std::lock_guard lock(mutex);
        packedState = state; // not again until it changes
        return false;
    }
}

std::shared_ptr<const std::string> TGuideFeed::Archive() {
    if (!IsUrl(guide)) {
        bool changed;
        {
            std::lock_guard lock(mutex);
            changed = !(CurrentState() == packedState);
        }
        if (changed) Refresh();
    }
    std::lock_guard lock(mutex);
    return archive;
}

void TGuideFeed::StartHourly() {
    hourly = std::thread([this] {
        std::unique_lock lock(mutex);
        while (!stopping) {
            lock.unlock();
            Refresh();
            lock.lock();
            wake.wait_for(lock, std::chrono::hours(1), [this] { return stopping; });
        }
    });
}
