// TTvHttpGet: fetches one resource over HTTP into a local file on a worker
// thread, TTvHttpGetThread, and reports progress and the outcome as events on
// the GUI thread. It also reads the current user's Internet Explorer proxy
// settings so that a dialog can offer them.
#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

using TOnProgressEvent =
    std::function<void(QObject* Sender, std::int32_t TotalSize, std::int32_t CurReadedSize)>;
using TOnDoneFileEvent =
    std::function<void(QObject* Sender, const std::string& FileName, std::int32_t FileSize)>;
using TOnDoneStringEvent = std::function<void(QObject* Sender, const std::string& ResultStr)>;
using TNotifyEvent = std::function<void(QObject* Sender)>;

// Cuts a URL ("http://" optional, in any letter case) at its first "/" into the
// host and the object path (which keeps the "/"). Without a "/" the host is
// empty and the object path is the whole text. A port stays part of the host.
void SplitUrl(const std::string& URL, std::string& Host, std::string& ObjectPath);

// A Content-Length text: decimal digits only, 0 to 2147483647. Anything else
// (empty, a sign, blanks, hex, too large) is no length.
bool ParseContentLength(std::string_view Text, std::int32_t& Value);

// The component's properties that make up one download. A worker takes a
// copy when it starts, so that changing them meanwhile changes nothing for a
// running download.
struct TDownloadSettings {
    std::string AcceptTypes = "*/*";
    std::string Agent = "Brantock HTTPGet";
    bool BinaryData = false;
    std::string URL;
    bool UseCache = false;
    std::string FileName;
    std::string UserName;
    std::string Password;
    std::string PostQuery;
    std::string Referer;
    bool UseProxy = false;
    std::string ProxyServer;
};

// Where a worker's run lets a test step in: before each stop check, before a
// progress hand-off, and after the run.
enum THttpGetStep { hsCheck1 = 1, hsCheck2, hsCheck3, hsCheck4, hsProgress, hsRunEnd };
using THttpGetStepHook = std::function<void(THttpGetStep Step)>;

class TTvHttpGetThread : public QThread {
    Q_OBJECT
public:
    TTvHttpGetThread() = default;

    TDownloadSettings Settings; // the component's, as they were at the start
    TOnProgressEvent OnProgress;
    THttpGetStepHook StepHook;
    bool ToFile = false; // the body goes to FileName (the only target there is)

    std::atomic<bool> Success{false};
    std::int32_t ContentLength = 0; // 0 when the response gave none
    std::uint32_t BytesRead = 0;    // of the last read
    std::int32_t Received = 0;
    // Why it failed: the WinInet error of the send or a read (0: none), and
    // the response's HTTP status (0: no response).
    std::uint32_t ErrorCode = 0;
    int StatusCode = 0;

    // The stop request: the worker ends at its next check, or within a tenth
    // of a second when it is waiting for the network.
    void Terminate() { StopRequested = true; }
    bool Terminated() const { return StopRequested; }

protected:
    void run() override;

private:
    friend class TTvHttpGet;
    struct TRequest;
    // The run: open the request, check the response, receive the body.
    void Download();
    void OpenRequest(const std::string& host, const std::string& objectPath, TRequest& request);
    bool CheckResponse(void* request, bool& hasLength);
    void ReceiveBody(void* request, bool hasLength);
    bool Stopped(THttpGetStep Step);
    bool HandOverProgress();
    Q_INVOKABLE void ReportProgress(); // on the GUI thread

    std::atomic<bool> StopRequested{false};
    std::atomic<bool> ProgressFailed{false};
    // GUI thread only: the component has let go (no handler may run any
    // more), and a step of this worker is running a handler right now.
    bool Detached = false;
    bool InStep = false;
};

class TTvHttpGet : public QObject, public TDownloadSettings {
    Q_OBJECT
    Q_PROPERTY(std::string AcceptTypes MEMBER AcceptTypes)
    Q_PROPERTY(std::string Agent MEMBER Agent)
    Q_PROPERTY(bool BinaryData MEMBER BinaryData)
    Q_PROPERTY(std::string URL MEMBER URL)
    Q_PROPERTY(bool UseCache MEMBER UseCache)
    Q_PROPERTY(std::string FileName MEMBER FileName)
    Q_PROPERTY(std::string UserName MEMBER UserName)
    Q_PROPERTY(std::string Password MEMBER Password)
    Q_PROPERTY(std::string PostQuery MEMBER PostQuery)
    Q_PROPERTY(std::string Referer MEMBER Referer)
    Q_PROPERTY(bool WaitThread MEMBER WaitThread)
    Q_PROPERTY(bool UseProxy MEMBER UseProxy)
    Q_PROPERTY(std::string ProxyServer MEMBER ProxyServer)

public:
    explicit TTvHttpGet(QObject* AOwner = nullptr);
    // Stops a running worker and waits for it; none of its steps reaches this
    // component or its handlers any more.
    ~TTvHttpGet() override;

    // Starts one download of URL into FileName; does nothing while one runs.
    // With WaitThread, returns when it has finished (its events raised), and
    // rethrows what an OnDoneFile or OnError handler threw.
    void StartDownload();
    // Asks the running worker to stop; OnError follows. Nothing when idle.
    void AbortDownload();
    // true when the user's proxy is enabled; Proxy receives the proxy text.
    // Throws platform::ERegistryException when a value cannot be read.
    bool ReadIEProxySettings(std::string& Proxy);

    // The download's properties are those of TDownloadSettings.
    bool WaitThread = false;
    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString; // no download ever raises it
    TNotifyEvent OnError;
    // Why the last download failed, set before OnError is raised: the WinInet
    // error code (0: none), the HTTP status (0: no response) and the URL's host.
    std::uint32_t LastError = 0;
    int LastStatus = 0;
    std::string LastHost;

    // Whether a worker is running (also a stopped one that has not ended yet).
    bool Running() const { return Worker != nullptr; }

    // For tests: handed to each new worker, run on its thread at every step.
    THttpGetStepHook StepHook;

private:
    void FinishDownload(TTvHttpGetThread* Thread);
    void LetGo(TTvHttpGetThread* Thread);

    TTvHttpGetThread* Worker = nullptr;
    bool InFinish = false;
    std::exception_ptr HandlerError; // from a finish handler, for WaitThread
};
