#include "http/WinInet.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include <curl/curl.h>

#include "http/CurlTransfer.h"
#include "platform/AsciiCase.h"

namespace platform {
namespace {

std::atomic<long> defaultConnectTimeoutMs{DefaultTimeoutMs};
std::atomic<long> defaultReceiveTimeoutMs{DefaultTimeoutMs};

// What a handle passes on to the handles opened from it.
struct Settings {
    std::string agent;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy, proxyBypass;
    long connectTimeoutMs = DefaultTimeoutMs;
    long receiveTimeoutMs = DefaultTimeoutMs;
    const std::atomic<bool>* stop = nullptr;
};

enum class Kind { Session, Connection, Request };

struct InternetObject {
    InternetObject(Kind k, Settings s) : kind(k), settings(std::move(s)) {}
    virtual ~InternetObject() = default;
    Kind kind;
    Settings settings;
};

struct Connection : InternetObject {
    using InternetObject::InternetObject;
    std::string host, userName, password;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
};

struct Request : InternetObject {
    using InternetObject::InternetObject;
    std::string host, userName, password;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::string verb, objectName, referrer, accept;
    bool http10 = false;
    DWORD flags = 0;
    std::unique_ptr<CurlTransfer> transfer;
    bool sent = false;
};

// Live handles, so that a stale or foreign handle fails instead of crashing.
std::mutex liveMutex;
std::unordered_set<InternetObject*> live;

HINTERNET Register(std::unique_ptr<InternetObject> object) {
    std::lock_guard lock(liveMutex);
    live.insert(object.get());
    SetLastError(ERROR_SUCCESS);
    return object.release();
}

template <class T> T* Find(HINTERNET handle, Kind kind) {
    auto* object = static_cast<InternetObject*>(handle);
    std::lock_guard lock(liveMutex);
    if (!live.count(object) || object->kind != kind)
        return SetLastError(ERROR_INVALID_HANDLE), nullptr;
    return static_cast<T*>(object);
}

std::string Text(const char* s) {
    return s ? s : "";
}

// Texts that end up in the request's head must not smuggle in a line break.
bool IsHeaderSafe(const std::string& s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

bool IsHostName(const std::string& host) {
    if (host.empty()) return false;
    for (unsigned char c : host)
        if (!std::isalnum(c) && c != '-' && c != '.' && c != '_') return false;
    return true;
}

bool IsToken(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!std::isalnum(c) && !std::strchr("!#$%&'*+-.^_`|~", c)) return false;
    return true;
}

// The caller's extra header lines: cut at a zero byte, split at CR LF.
bool SplitHeaders(const char* text, DWORD length, std::vector<std::string>& lines) {
    if (!text) return true;
    std::string all = length == DWORD(-1) ? std::string(text) : std::string(text, length);
    all = all.substr(0, all.find('\0'));
    std::size_t from = 0;
    while (from < all.size()) {
        std::size_t to = all.find("\r\n", from);
        if (to == std::string::npos) to = all.size();
        std::string line = all.substr(from, to - from);
        from = to + 2;
        if (line.empty()) continue;
        if (!IsHeaderSafe(line) || line.find(':') == std::string::npos) return false;
        lines.push_back(std::move(line));
    }
    return true;
}

// WinInet takes a proxy list: "host:port" for every protocol, or entries such
// as "http=host:port" apart by blanks or semicolons (the form Internet
// Explorer keeps). The HTTP entry wins, else the first one for all protocols;
// with neither, requests go direct.
std::string HttpProxyFrom(const std::string& list) {
    std::string general;
    std::size_t from = 0;
    while (from < list.size()) {
        std::size_t to = list.find_first_of("; \t", from);
        if (to == std::string::npos) to = list.size();
        const std::string entry = list.substr(from, to - from);
        from = to + 1;
        const std::size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            if (general.empty()) general = entry;
        } else if (SameTextAscii(entry.substr(0, eq), "http")) {
            return entry.substr(eq + 1);
        }
    }
    return general;
}

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

TransferSetup SetupFor(const Request& r) {
    TransferSetup s;
    s.url = "http://" + r.host + ":" + std::to_string(r.port) + r.objectName;
    s.verb = r.verb;
    s.http10 = r.http10;
    const Settings& set = r.settings;
    s.proxyMode = set.accessType == INTERNET_OPEN_TYPE_PROXY    ? TransferSetup::Proxy::Given
                  : set.accessType == INTERNET_OPEN_TYPE_DIRECT ? TransferSetup::Proxy::None
                                                                : TransferSetup::Proxy::Environment;
    s.proxy = HttpProxyFrom(set.proxy);
    s.proxyBypass = set.proxyBypass;
    s.userName = r.userName;
    s.password = r.password;
    s.agent = set.agent;
    s.referrer = r.referrer;
    s.connectTimeoutMs = set.connectTimeoutMs;
    s.receiveTimeoutMs = set.receiveTimeoutMs;
    s.stop = set.stop;
    // An empty value takes curl's own header away.
    s.headers.push_back(r.accept.empty() ? "Accept:" : "Accept: " + r.accept);
    if (r.flags & INTERNET_FLAG_RELOAD) {
        // A reload must get past caches; curl adds nothing for it by itself.
        s.headers.push_back("Pragma: no-cache");
        s.headers.push_back("Cache-Control: no-cache");
    }
    return s;
}

} // namespace

void InternetInitialize() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy,
                        const char* proxyBypass, DWORD /*flags*/) {
    InternetInitialize();
    Settings s;
    s.agent = Text(agent);
    s.accessType = accessType;
    s.proxy = Text(proxy);
    s.proxyBypass = Text(proxyBypass);
    s.connectTimeoutMs = defaultConnectTimeoutMs;
    s.receiveTimeoutMs = defaultReceiveTimeoutMs;
    if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
        accessType != INTERNET_OPEN_TYPE_PROXY)
        return Fail(ERROR_INVALID_PARAMETER), nullptr;
    if (!IsHeaderSafe(s.agent)) return Fail(ERROR_INVALID_PARAMETER), nullptr;
    return Register(std::make_unique<InternetObject>(Kind::Session, std::move(s)));
}

HINTERNET InternetConnectA(HINTERNET internet, const char* serverName, INTERNET_PORT port,
                           const char* userName, const char* password, DWORD service,
                           DWORD /*flags*/, DWORD_PTR /*context*/) {
    auto* session = Find<InternetObject>(internet, Kind::Session);
    if (!session) return nullptr;
    if (service != INTERNET_SERVICE_HTTP) return Fail(ERROR_INVALID_PARAMETER), nullptr;
    auto c = std::make_unique<Connection>(Kind::Connection, session->settings);
    c->host = Text(serverName);
    c->port = port ? port : INTERNET_DEFAULT_HTTP_PORT;
    c->userName = Text(userName);
    c->password = Text(password);
    return Register(std::move(c));
}

HINTERNET HttpOpenRequestA(HINTERNET connect, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char** acceptTypes,
                           DWORD flags, DWORD_PTR /*context*/) {
    auto* c = Find<Connection>(connect, Kind::Connection);
    if (!c) return nullptr;
    auto r = std::make_unique<Request>(Kind::Request, c->settings);
    r->host = c->host;
    r->port = c->port;
    r->userName = c->userName;
    r->password = c->password;
    r->verb = verb && *verb ? verb : "GET";
    r->objectName = objectName && *objectName ? objectName : "/";
    const std::string v = Text(version);
    if (!v.empty() && v != "HTTP/1.0" && v != "HTTP/1.1")
        return Fail(ERROR_INVALID_PARAMETER), nullptr;
    r->http10 = v == "HTTP/1.0";
    r->referrer = Text(referrer);
    for (const char** t = acceptTypes; t && *t; ++t) {
        if (!**t) continue;
        r->accept += (r->accept.empty() ? "" : ", ") + std::string(*t);
    }
    r->flags = flags;
    if (!IsToken(r->verb) || !IsHeaderSafe(r->referrer) || !IsHeaderSafe(r->accept))
        return Fail(ERROR_INVALID_PARAMETER), nullptr;
    return Register(std::move(r));
}

BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength,
                      const void* optional, DWORD optionalLength) {
    auto* r = Find<Request>(request, Kind::Request);
    if (!r) return false;
    if (r->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    r->sent = true;
    // A port written into the host name is no host name: nothing is reached.
    if (!IsHostName(r->host)) return Fail(ERROR_INTERNET_NAME_NOT_RESOLVED);
    if (!IsHeaderSafe(r->settings.proxy) || !IsHeaderSafe(r->userName) ||
        !IsHeaderSafe(r->password))
        return Fail(ERROR_INVALID_PARAMETER);
    TransferSetup setup = SetupFor(*r);
    if (!SplitHeaders(headers, headersLength, setup.headers)) return Fail(ERROR_INVALID_PARAMETER);
    if (optional && optionalLength)
        setup.body.assign(static_cast<const char*>(optional), optionalLength);
    r->transfer = std::make_unique<CurlTransfer>();
    if (!r->transfer->Start(setup)) return Fail(r->transfer->error());
    SetLastError(ERROR_SUCCESS);
    return true;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength,
                    DWORD* index) {
    auto* r = Find<Request>(request, Kind::Request);
    if (!r) return false;
    if (!r->transfer || r->transfer->status() == 0 || !bufferLength)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    const DWORD level = infoLevel & 0xFFFF;
    std::string value;
    if (level == HTTP_QUERY_STATUS_CODE) {
        value = std::to_string(r->transfer->status());
    } else if (level == HTTP_QUERY_CONTENT_LENGTH) {
        const std::string* v = r->transfer->Header("Content-Length", index ? *index : 0);
        if (!v) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
        value = *v;
    } else {
        return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    }
    if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
        if (*bufferLength < sizeof(DWORD))
            return *bufferLength = sizeof(DWORD), Fail(ERROR_INSUFFICIENT_BUFFER);
        const DWORD number = DWORD(std::strtoul(value.c_str(), nullptr, 10));
        std::memcpy(buffer, &number, sizeof number);
        *bufferLength = sizeof number;
    } else {
        if (!buffer || *bufferLength < value.size() + 1)
            return *bufferLength = DWORD(value.size() + 1), Fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(buffer, value.c_str(), value.size() + 1);
        *bufferLength = DWORD(value.size());
    }
    if (index) ++*index;
    SetLastError(ERROR_SUCCESS);
    return true;
}

BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD numberOfBytesToRead,
                      DWORD* numberOfBytesRead) {
    if (numberOfBytesRead) *numberOfBytesRead = 0;
    auto* r = Find<Request>(file, Kind::Request);
    if (!r) return false;
    if (!r->transfer || !numberOfBytesRead || (!buffer && numberOfBytesToRead))
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    std::size_t got = 0;
    const bool ok = r->transfer->Read(static_cast<char*>(buffer), numberOfBytesToRead, got);
    *numberOfBytesRead = DWORD(got);
    if (!ok) return Fail(r->transfer->error());
    SetLastError(ERROR_SUCCESS);
    return true;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    auto* object = static_cast<InternetObject*>(handle);
    {
        std::lock_guard lock(liveMutex);
        if (!live.erase(object)) return Fail(ERROR_INVALID_HANDLE);
    }
    delete object;
    SetLastError(ERROR_SUCCESS);
    return true;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD bufferLength) {
    if (option != INTERNET_OPTION_CONNECT_TIMEOUT && option != INTERNET_OPTION_RECEIVE_TIMEOUT)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!buffer || bufferLength < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    DWORD ms = 0;
    std::memcpy(&ms, buffer, sizeof ms);
    const long value = long(std::min<DWORD>(ms, 0x7FFFFFFF));
    if (!handle) {
        (option == INTERNET_OPTION_CONNECT_TIMEOUT ? defaultConnectTimeoutMs
                                                   : defaultReceiveTimeoutMs) = value;
        return true;
    }
    auto* object = static_cast<InternetObject*>(handle);
    std::lock_guard lock(liveMutex);
    if (!live.count(object)) return Fail(ERROR_INVALID_HANDLE);
    (option == INTERNET_OPTION_CONNECT_TIMEOUT ? object->settings.connectTimeoutMs
                                               : object->settings.receiveTimeoutMs) = value;
    return true;
}

BOOL InternetSetStopFlag(HINTERNET handle, const std::atomic<bool>* stop) {
    auto* object = static_cast<InternetObject*>(handle);
    std::lock_guard lock(liveMutex);
    if (!live.count(object)) return Fail(ERROR_INVALID_HANDLE);
    object->settings.stop = stop;
    return true;
}

} // namespace platform
