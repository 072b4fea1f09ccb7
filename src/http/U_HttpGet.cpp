#include "http/U_HttpGet.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaMethod>
#include <QPointer>

#include <limits>
#include <memory>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define HTTPGET_UNDER_TSAN
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define HTTPGET_UNDER_TSAN
#endif
#endif
#ifdef HTTPGET_UNDER_TSAN
#include <sanitizer/tsan_interface.h>
#endif

#include "http/WinInet.h"
#include "platform/AsciiCase.h"
#include "platform/Files.h"
#include "platform/Handle.h"
#include "platform/Registry.h"

using namespace platform;

namespace {

// Each chunk read is one progress step handed to the GUI thread: callers see
// the body arrive in 1025-byte steps (OnProgress's CurReadedSize grows by at
// most this much), the pace the component has always reported at.
constexpr DWORD ChunkSize = 1025;
constexpr DWORD HttpStatusOk = 200;
constexpr DWORD QueryBufferSize = 1024;
// 46 characters and their terminating zero.
constexpr char PostHeader[] = "Content-Type:application/x-www-form-urlencoded";
constexpr DWORD PostHeaderLength = 47;
static_assert(sizeof PostHeader == PostHeaderLength);

struct InternetCloser {
    void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// A write that does not write every byte fails.
bool WriteAll(const THandleOwner& file, const char* data, DWORD count) {
    DWORD done = 0;
    return WriteFile(file.get(), data, count, &done) && done == count;
}

// Qt's blocking queued call waits on a futex, which ThreadSanitizer cannot
// see; these tell it what the call guarantees, as Qt's own QMutex does.
#ifdef HTTPGET_UNDER_TSAN
void HandOffRelease(void* object) {
    __tsan_release(object);
}
void HandOffAcquire(void* object) {
    __tsan_acquire(object);
}
#else
void HandOffRelease(void*) {}
void HandOffAcquire(void*) {}
#endif

} // namespace

void SplitUrl(const std::string& URL, std::string& Host, std::string& ObjectPath) {
    std::string rest = URL;
    const std::string_view scheme = "http://";
    if (SameTextAscii(std::string_view(rest).substr(0, scheme.size()), scheme))
        rest.erase(0, scheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        Host.clear();
        ObjectPath = rest;
        return;
    }
    Host = rest.substr(0, slash);
    ObjectPath = rest.substr(slash);
}

bool ParseContentLength(std::string_view Text, std::int32_t& Value) {
    if (Text.empty()) return false;
    std::int64_t n = 0;
    for (char c : Text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
        if (n > std::numeric_limits<std::int32_t>::max()) return false;
    }
    Value = std::int32_t(n);
    return true;
}

// ---- the worker -----------------------------------------------------------

void TTvHttpGetThread::run() {
    try {
        Download();
    } catch (...) {
        // Whatever went wrong (memory, a file error) is a failed download.
        Success = false;
    }
    if (Terminated()) Success = false;
    if (StepHook) StepHook(hsRunEnd);
}

bool TTvHttpGetThread::Stopped(THttpGetStep Step) {
    if (StepHook) StepHook(Step);
    if (!Terminated()) return false;
    Success = false;
    return true;
}

// The WinInet handles of one request. They close in reverse order of opening
// (request, connection, Internet), after the file and the query buffer,
// whichever way the run ends.
struct TTvHttpGetThread::TRequest {
    InternetHandle internet, connection, request;
};

void TTvHttpGetThread::Download() {
    std::string host, objectPath;
    SplitUrl(Settings.URL, host, objectPath);
    if (Stopped(hsCheck1)) return;
    TRequest request;
    OpenRequest(host, objectPath, request);
    if (Stopped(hsCheck2)) return;
    bool hasLength = false;
    if (!CheckResponse(request.request.get(), hasLength)) return;
    ReceiveBody(request.request.get(), hasLength);
}

// Opens the Internet handle, the connection and the request, and sends it.
// Failures of these calls surface as a failed query in CheckResponse.
void TTvHttpGetThread::OpenRequest(const std::string& host, const std::string& objectPath,
                                   TRequest& r) {
    const TDownloadSettings& s = Settings;
    r.internet.reset(
        InternetOpenA(s.Agent.empty() ? nullptr : s.Agent.c_str(),
                      s.UseProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
                      s.UseProxy ? s.ProxyServer.c_str() : nullptr, nullptr, 0));
    InternetSetStopFlag(r.internet.get(), &StopRequested);
    r.connection.reset(InternetConnectA(r.internet.get(), host.c_str(), INTERNET_DEFAULT_HTTP_PORT,
                                        s.UserName.c_str(), s.Password.c_str(),
                                        INTERNET_SERVICE_HTTP, 0, 0));
    const char* acceptTypes[] = {s.AcceptTypes.c_str(), nullptr};
    r.request.reset(HttpOpenRequestA(r.connection.get(), s.PostQuery.empty() ? "GET" : "POST",
                                     objectPath.c_str(), "HTTP/1.0", s.Referer.c_str(), acceptTypes,
                                     s.UseCache ? 0 : INTERNET_FLAG_RELOAD, 0));
    const BOOL sent = s.PostQuery.empty()
                          ? HttpSendRequestA(r.request.get(), nullptr, 0, nullptr, 0)
                          : HttpSendRequestA(r.request.get(), PostHeader, PostHeaderLength,
                                             s.PostQuery.data(), DWORD(s.PostQuery.size()));
    if (!sent) ErrorCode = GetLastError();
}

// Takes the content length and the status; false when the body is not to be
// read.
bool TTvHttpGetThread::CheckResponse(HINTERNET request, bool& hasLength) {
    auto queryBuffer = std::make_unique<char[]>(QueryBufferSize);
    DWORD length = QueryBufferSize, index = 0;
    hasLength =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, queryBuffer.get(), &length, &index);
    Success = hasLength;
    // Anything but 200 (an error page, a redirect, no answer at all) is no
    // download, whatever its length says.
    DWORD status = 0, statusSize = sizeof status;
    const bool isOk = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                     &status, &statusSize, nullptr) &&
                      status == HttpStatusOk;
    StatusCode = int(status);
    if (Stopped(hsCheck3)) return false;
    const bool readable = isOk && (hasLength || !Settings.BinaryData) &&
                          (!hasLength || ParseContentLength(queryBuffer.get(), ContentLength));
    if (!readable) Success = false;
    return readable;
}

// Writes the body to FileName chunk by chunk, handing progress to the GUI
// thread after each; Success tells whether all of it, and no more, came.
void TTvHttpGetThread::ReceiveBody(HINTERNET request, bool hasLength) {
    Received = 0;
    THandleOwner file(
        CreateFileA(Settings.FileName, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS));
    if (!file.valid()) {
        Success = false;
        return;
    }
    // The body may not run past an announced length; without one, Received
    // must still fit its 32 bits.
    const std::int64_t limit = hasLength ? ContentLength : std::numeric_limits<std::int32_t>::max();
    char chunk[ChunkSize];
    bool sound = true;
    while (sound) {
        if (Stopped(hsCheck4)) return;
        if (!InternetReadFile(request, chunk, ChunkSize, &BytesRead)) {
            ErrorCode = GetLastError();
            break;
        }
        if (BytesRead == 0) break;
        sound = Received + std::int64_t(BytesRead) <= limit && WriteAll(file, chunk, BytesRead);
        if (!sound) break;
        Received += std::int32_t(BytesRead);
        sound = !OnProgress || HandOverProgress();
    }
    Success = sound && Received == ContentLength && !Terminated();
    if (!file.close()) Success = false;
}

// Runs ReportProgress on the GUI thread (the thread this object lives in) and
// waits until it has run.
bool TTvHttpGetThread::HandOverProgress() {
    if (StepHook) StepHook(hsProgress);
    if (QThread::currentThread() == thread()) {
        ReportProgress(); // a blocking queued call to one's own thread never returns
    } else {
        // By name, so that no call object of ours passes between the threads.
        static const QMetaMethod report =
            staticMetaObject.method(staticMetaObject.indexOfMethod("ReportProgress()"));
        HandOffRelease(this);
        report.invoke(this, Qt::BlockingQueuedConnection);
        HandOffAcquire(this);
    }
    return !ProgressFailed;
}

void TTvHttpGetThread::ReportProgress() {
    HandOffAcquire(this);
    if (!Detached && OnProgress) {
        InStep = true;
        try {
            OnProgress(this, ContentLength, Received);
        } catch (...) {
            ProgressFailed = true; // ends the run as a failure
        }
        InStep = false;
    }
    HandOffRelease(this);
}

// ---- the component ---------------------------------------------------------

TTvHttpGet::TTvHttpGet(QObject* AOwner) : QObject(AOwner) {}

TTvHttpGet::~TTvHttpGet() {
    AbortDownload();
    if (TTvHttpGetThread* thread = std::exchange(Worker, nullptr)) LetGo(thread);
}

// Makes sure no step of the worker reaches this (dying) component: its finish
// step is cut off, its progress steps call no handler, and it is waited for
// in a local event loop, which still serves the progress steps it hands over
// (QThread::wait() here would deadlock with a pending one).
void TTvHttpGet::LetGo(TTvHttpGetThread* thread) {
    disconnect(thread, nullptr, this, nullptr);
    thread->Detached = true;
    if (thread->InStep || InFinish) {
        // Destroyed from inside a handler of this worker: the worker waits for
        // that handler to return, so it cannot be waited for here.
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        if (thread->isFinished()) thread->deleteLater();
        return;
    }
    QEventLoop loop;
    connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    if (!thread->isFinished()) loop.exec();
    thread->wait();
    delete thread;
}

void TTvHttpGet::StartDownload() {
    if (Worker) return;
    auto* thread = new TTvHttpGetThread;
    thread->Settings = static_cast<const TDownloadSettings&>(*this);
    thread->OnProgress = OnProgress;
    thread->StepHook = StepHook;
    thread->ToFile = true;
    connect(thread, &QThread::finished, this, [this, thread] { FinishDownload(thread); });
    Worker = thread;
    thread->start();
    if (!WaitThread) return;

    // Waits for events rather than spinning: the finish step is an event too,
    // and it interrupts the wait (FinishDownload).
    QPointer<TTvHttpGet> self(this);
    while (self && self->Worker)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (self && HandlerError) std::rethrow_exception(std::exchange(HandlerError, nullptr));
}

void TTvHttpGet::AbortDownload() {
    if (!Worker) return;
    Worker->Terminate();
    Worker->Success = false;
}

void TTvHttpGet::FinishDownload(TTvHttpGetThread* thread) {
    if (thread != Worker) return;
    thread->wait(); // its run has returned: only the thread's own exit is left
    // A waiting StartDownload looks again once this step has run: Qt's own
    // event dispatcher (the one without GLib) would wait on for more events.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->interrupt();
    QPointer<TTvHttpGet> self(this);
    InFinish = true;
    try {
        if (thread->Success && !thread->Terminated()) {
            if (OnDoneFile) OnDoneFile(this, thread->Settings.FileName, thread->ContentLength);
        } else {
            std::string path;
            SplitUrl(thread->Settings.URL, LastHost, path);
            LastError = thread->ErrorCode;
            LastStatus = thread->StatusCode;
            if (OnError) OnError(this);
        }
    } catch (...) {
        // An exception cannot travel through Qt's event loop; a waiting
        // StartDownload hands it on.
        if (self) HandlerError = std::current_exception();
    }
    if (!self) return; // a handler destroyed the component, and let the worker go
    InFinish = false;
    Worker = nullptr;
    delete thread;
}

bool TTvHttpGet::ReadIEProxySettings(std::string& Proxy) {
    TRegistry registry;
    registry.RootKey = HKEY_CURRENT_USER;
    if (!registry.OpenKey(InternetSettingsKey, true)) return false;
    // Only the low byte decides: 0x100 reads as off.
    const bool enabled = (registry.ReadInteger("ProxyEnable") & 0xFF) != 0;
    Proxy = registry.ReadString("ProxyServer");
    registry.CloseKey();
    return enabled;
}
