// One HTTP exchange driven through libcurl's multi interface on the calling
// thread, so that the caller pulls the body in the chunk size it wants. The
// body passes through one fixed buffer; when it is full, curl is paused.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <curl/curl.h>

namespace platform {

// Follows redirects as the system's own internet layer does: up to 5, to
// http or https only; https checks the server's certificate against the
// system's CA store (curl's default, stated so that it stays). The only
// schemes a transfer may use are the same two. false when curl refused one.
bool FollowRedirectsLikeTheSystem(CURL* easy);

// How long a connection may take, and how long a transfer may wait without a
// byte, unless set otherwise: WinInet's own default.
inline constexpr long DefaultTimeoutMs = 30000;

struct TransferSetup {
    std::string url;
    std::string verb; // "GET", "POST", ...
    bool http10 = false;
    enum class Proxy { Environment, None, Given } proxyMode = Proxy::Environment;
    std::string proxy, proxyBypass;
    std::string userName, password, agent, referrer;
    std::vector<std::string> headers; // "Name: value" lines
    std::string body;                 // sent when the verb is POST
    long connectTimeoutMs = DefaultTimeoutMs;
    long receiveTimeoutMs = DefaultTimeoutMs;
    // > 0: a transfer slower than lowSpeedBytes a second for this long fails
    // with ERROR_INTERNET_TIMEOUT (a server that trickles never goes idle).
    long lowSpeedSeconds = 0;
    long lowSpeedBytes = 0;
    const std::atomic<bool>* stop = nullptr;
};

class CurlTransfer {
public:
    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Sends the request and waits for the final response's headers. On false,
    // error() holds the WinInet error code.
    bool Start(const TransferSetup& setup);
    int status() const { return statusCode; }
    // The value of the index-th header of that name (case-insensitive), or null.
    const std::string* Header(const std::string& name, std::size_t index) const;
    // Fills dst with n bytes unless the body ends first (then fewer, 0 at the
    // end). false when the transfer failed or was stopped.
    bool Read(char* dst, std::size_t n, std::size_t& got);
    std::uint32_t error() const { return errorCode; }

private:
    // CURL and CURLM are both void: one owner type each.
    struct EasyCleanup {
        void operator()(CURL* c) const { curl_easy_cleanup(c); }
    };
    struct MultiCleanup {
        void operator()(CURLM* m) const { curl_multi_cleanup(m); }
    };
    struct ListFree {
        void operator()(curl_slist* l) const { curl_slist_free_all(l); }
    };

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    bool Configure(const TransferSetup& setup);
    void HeaderLine(std::string_view line);
    bool FollowedRedirect() const;
    void DecideBodyEnd();
    template <class Ready> bool Pump(Ready ready);
    void CollectDone();
    bool Fail(std::uint32_t code);
    std::size_t Buffered() const { return end - begin; }
    bool BodyEnded() const { return done || lengthReached; }

    // Declared so that they go in this order: easy, list, multi.
    std::unique_ptr<CURLM, MultiCleanup> multi;
    std::unique_ptr<curl_slist, ListFree> headerList;
    std::unique_ptr<CURL, EasyCleanup> easy;
    bool attached = false;

    const std::atomic<bool>* stop = nullptr;
    long receiveTimeoutMs = DefaultTimeoutMs;
    std::uint64_t activity = 0; // bytes seen so far, to tell a stalled transfer

    int statusCode = 0;
    bool persistent = false;
    bool headersDone = false;
    std::vector<std::pair<std::string, std::string>> headers;

    std::vector<char> buffer; // [begin, end) holds body bytes not yet read
    std::size_t begin = 0, end = 0;
    bool paused = false;
    // A persistent connection's body ends at its Content-Length; a closed
    // connection's body ends when the server closes, so extra bytes show.
    std::int64_t bodyLimit = -1;
    std::int64_t bodyTotal = 0;
    bool lengthReached = false;

    bool done = false;
    bool failed = false;
    std::uint32_t errorCode = 0;
};

} // namespace platform
