#include "http/CurlTransfer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "http/WinInet.h"
#include "platform/AsciiCase.h"

namespace platform {
namespace {

// Room for several of curl's largest writes, so that pauses stay rare.
constexpr std::size_t BufferCapacity = 4 * CURL_MAX_WRITE_SIZE;
constexpr int PollSliceMs = 100; // how often a wait looks at the stop flag
// Redirects followed, as WinInet does; a loop ends after these.
constexpr long MaxRedirects = 5;

// HTTP's optional white space (blanks and tabs) around a header line, its
// name and its value, and the line's own CR LF at its end.
std::string_view TrimHeaderSpace(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::uint32_t FromCurl(CURLcode code) {
    switch (code) {
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_TOO_MANY_REDIRECTS:
        return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_PEER_FAILED_VERIFICATION:
        return ERROR_INTERNET_INVALID_CA;
    default:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

} // namespace

bool FollowRedirectsLikeTheSystem(CURL* easy) {
    return curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_MAXREDIRS, MaxRedirects) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
}

CurlTransfer::CurlTransfer() : buffer(BufferCapacity) {}

CurlTransfer::~CurlTransfer() {
    // The easy handle must leave the multi handle before either goes.
    if (attached) curl_multi_remove_handle(multi.get(), easy.get());
}

bool CurlTransfer::Fail(std::uint32_t code) {
    failed = true;
    errorCode = code;
    return false;
}

bool CurlTransfer::Configure(const TransferSetup& s) {
    CURL* c = easy.get();
    bool ok = true;
    auto set = [&](CURLoption opt, auto value) {
        ok = ok && curl_easy_setopt(c, opt, value) == CURLE_OK;
    };
    set(CURLOPT_URL, s.url.c_str());
    set(CURLOPT_NOSIGNAL, 1L);
    ok = ok && FollowRedirectsLikeTheSystem(c);
    set(CURLOPT_HTTP_VERSION, long(s.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1));
    // Curl would end the body at Content-Length and drop what follows; we
    // want to see a body that runs past it (see DecideBodyEnd).
    set(CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS, s.connectTimeoutMs);
    if (s.lowSpeedSeconds > 0) {
        set(CURLOPT_LOW_SPEED_LIMIT, s.lowSpeedBytes);
        set(CURLOPT_LOW_SPEED_TIME, s.lowSpeedSeconds);
    }
    set(CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    if (!s.agent.empty()) set(CURLOPT_USERAGENT, s.agent.c_str());
    if (!s.referrer.empty()) set(CURLOPT_REFERER, s.referrer.c_str());
    if (s.proxyMode == TransferSetup::Proxy::None) set(CURLOPT_PROXY, "");
    if (s.proxyMode == TransferSetup::Proxy::Given) {
        set(CURLOPT_PROXY, s.proxy.c_str());
        set(CURLOPT_NOPROXY, s.proxyBypass.c_str()); // not the environment's no_proxy
    }
    if (!s.userName.empty()) {
        set(CURLOPT_USERNAME, s.userName.c_str());
        set(CURLOPT_PASSWORD, s.password.c_str());
        set(CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    }
    if (s.verb == "POST") {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(s.body.size()));
        set(CURLOPT_COPYPOSTFIELDS, s.body.c_str());
    } else if (s.verb == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (s.verb != "GET") {
        set(CURLOPT_CUSTOMREQUEST, s.verb.c_str());
    }
    for (const std::string& h : s.headers) {
        curl_slist* grown = curl_slist_append(headerList.get(), h.c_str());
        if (!grown) return false;
        headerList.release();
        headerList.reset(grown);
    }
    set(CURLOPT_HTTPHEADER, headerList.get());
    return ok;
}

bool CurlTransfer::Start(const TransferSetup& setup) {
    if (easy) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    easy.reset(curl_easy_init());
    multi.reset(curl_multi_init());
    if (!easy || !multi || !Configure(setup)) return Fail(ERROR_INTERNET_INVALID_URL);
    stop = setup.stop;
    receiveTimeoutMs = setup.receiveTimeoutMs;
    if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK)
        return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    attached = true;
    if (!Pump([this] { return headersDone; })) return false;
    if (!headersDone) return Fail(errorCode ? errorCode : ERROR_INTERNET_CONNECTION_ABORTED);
    return true;
}

const std::string* CurlTransfer::Header(const std::string& name, std::size_t index) const {
    for (const auto& [key, value] : headers)
        if (SameTextAscii(key, name) && index-- == 0) return &value;
    return nullptr;
}

std::size_t CurlTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    static_cast<CurlTransfer*>(self)->HeaderLine(std::string_view(data, size * count));
    return size * count;
}

// Curl hands every response's header lines, interim 1xx ones and redirects
// it follows included; the headers of the final response are the ones kept.
void CurlTransfer::HeaderLine(std::string_view line) {
    activity += line.size();
    if (headersDone) return; // trailers of a chunked body
    if (line.substr(0, 5) == "HTTP/") {
        headers.clear();
        statusCode = 0;
        const std::size_t blank = line.find(' ');
        if (blank != std::string_view::npos)
            for (char c : line.substr(blank + 1, 3))
                statusCode = c >= '0' && c <= '9' ? statusCode * 10 + (c - '0') : -1000;
        persistent = line.substr(0, 8) == "HTTP/1.1";
        return;
    }
    line = TrimHeaderSpace(line);
    if (line.empty()) {
        if (statusCode >= 200 && !FollowedRedirect()) {
            headersDone = true;
            DecideBodyEnd();
        }
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    headers.emplace_back(std::string(TrimHeaderSpace(line.substr(0, colon))),
                         std::string(TrimHeaderSpace(line.substr(colon + 1))));
}

// Curl follows a 3xx response that names a Location (or fails the transfer
// when it may not), so such a response is never the final one.
bool CurlTransfer::FollowedRedirect() const {
    const std::string* location = Header("Location", 0);
    return statusCode >= 300 && statusCode < 400 && location && !location->empty();
}

// A connection the server keeps open ends its body at Content-Length; one it
// closes ends at the close, so that a body longer than announced shows.
void CurlTransfer::DecideBodyEnd() {
    for (const char* name : {"Connection", "Proxy-Connection"}) {
        if (const std::string* v = Header(name, 0)) {
            if (SameTextAscii(*v, "close")) persistent = false;
            if (SameTextAscii(*v, "keep-alive")) persistent = true;
        }
    }
    const std::string* length = Header("Content-Length", 0);
    if (!persistent || !length || Header("Transfer-Encoding", 0)) return;
    char* stopAt = nullptr;
    const long long n = std::strtoll(length->c_str(), &stopAt, 10);
    if (stopAt && *stopAt == '\0' && !length->empty() && n >= 0) bodyLimit = n;
    lengthReached = bodyLimit == 0;
}

std::size_t CurlTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto& t = *static_cast<CurlTransfer*>(self);
    std::size_t n = size * count;
    t.activity += n;
    if (t.lengthReached) return n; // the rest belongs to no response of ours
    if (t.buffer.size() - t.Buffered() < n) {
        t.paused = true;
        return CURL_WRITEFUNC_PAUSE; // curl keeps the bytes and hands them again
    }
    if (t.bodyLimit >= 0) n = std::size_t(std::min<std::int64_t>(n, t.bodyLimit - t.bodyTotal));
    if (t.end + n > t.buffer.size()) {
        std::memmove(t.buffer.data(), t.buffer.data() + t.begin, t.Buffered());
        t.end -= t.begin;
        t.begin = 0;
    }
    std::memcpy(t.buffer.data() + t.end, data, n);
    t.end += n;
    t.bodyTotal += std::int64_t(n);
    if (t.bodyLimit >= 0 && t.bodyTotal == t.bodyLimit) t.lengthReached = true;
    return size * count;
}

void CurlTransfer::CollectDone() {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        done = true;
        const CURLcode result = msg->data.result;
        if (result == CURLE_OK || lengthReached) continue;
        // A redirect to a scheme other than http or https is a failed redirect.
        const bool refusedScheme = result == CURLE_UNSUPPORTED_PROTOCOL && FollowedRedirect();
        Fail(refusedScheme ? ERROR_HTTP_REDIRECT_FAILED : FromCurl(result));
    }
}

// Runs the transfer until ready() holds, it has finished, it fails, stalls
// longer than the receive timeout, or the stop flag rises.
template <class Ready> bool CurlTransfer::Pump(Ready ready) {
    using Clock = std::chrono::steady_clock;
    auto lastActivity = Clock::now();
    std::uint64_t seen = activity;
    while (!ready() && !done && !failed) {
        if (stop && stop->load()) return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
            return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
        CollectDone();
        if (ready() || done || failed) break;
        const auto now = Clock::now();
        if (activity != seen) {
            seen = activity;
            lastActivity = now;
        }
        const long idleMs =
            long(std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity).count());
        if (idleMs >= receiveTimeoutMs) return Fail(ERROR_INTERNET_TIMEOUT);
        const int sliceMs = int(std::min<long>(PollSliceMs, receiveTimeoutMs - idleMs));
        if (curl_multi_poll(multi.get(), nullptr, 0, sliceMs, nullptr) != CURLM_OK)
            return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    }
    return !failed;
}

bool CurlTransfer::Read(char* dst, std::size_t n, std::size_t& got) {
    got = 0;
    if (!headersDone) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    while (true) {
        const std::size_t take = std::min(n - got, Buffered());
        std::memcpy(dst + got, buffer.data() + begin, take);
        got += take;
        begin += take;
        if (begin == end) begin = end = 0;
        if (got == n) return true;
        if (failed) return got > 0; // what came before the failure goes out first
        if (BodyEnded()) return true;
        if (paused) {
            // The buffer is empty now: curl hands the held bytes again at once.
            paused = false;
            curl_easy_pause(easy.get(), CURLPAUSE_CONT);
            continue;
        }
        if (!Pump([this] { return Buffered() > 0 || paused || lengthReached; }) &&
            errorCode == ERROR_INTERNET_OPERATION_CANCELLED)
            return false;
    }
}

} // namespace platform
