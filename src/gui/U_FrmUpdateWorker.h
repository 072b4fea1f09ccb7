// The update dialog's worker for a source the user gave: an http or https
// address or a local file, of an XMLTV guide (plain or gzip) or an update
// archive, told apart by its first bytes. A guide is packed on this thread
// as it arrives and built into the schedule file here, all or nothing; an
// archive is downloaded for the dialog to extract.
#pragma once

#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class TSourceKind { Unknown, Guide, Archive };

// gzip (1F 8B) and XML (after an optional byte order mark and white space,
// "<") are guides; "PK" is an archive.
TSourceKind SniffSource(std::string_view head);
bool IsUrlSource(const std::string& source);

class TUpdateWorker : public QThread {
    Q_OBJECT
public:
    enum TStage { stDownload, stBuild };

    // Set before start.
    std::string Source;
    std::string ArchivePath;  // where a downloaded archive goes
    std::string SchedulePath; // the schedule file a guide is built into
    bool UseProxy = false;    // false: the environment's proxy settings
    std::string ProxyServer;
    long TimeoutMs = 30000; // to connect, and the longest wait for a byte
    // Slower than this many bytes a second for TimeoutMs fails too.
    long LowSpeedBytes = 100;
    // Runs on this thread once a guide is in the schedule file (remembering
    // the source writes a file: the GUI thread need not wait for that).
    std::function<void()> AfterUpdate;

    // Read while it runs; bytes of the total (0 when unknown) or stations.
    std::atomic<int> Stage{stDownload};
    std::atomic<std::int64_t> Done{0}, Total{0};
    std::atomic<bool> Stop{false};

    // Read after it has finished.
    bool Updated = false;    // a guide is in the schedule file
    std::string ArchiveFile; // an archive to extract, when the source was one
    bool Cancelled = false;
    bool GuideFault = false; // the source arrived, but is no usable guide or archive
    std::string Cause;       // the user's words, when neither of the above

protected:
    void run() override;

private:
    struct TSink;
    void FromUrl(TSink& sink);
    void FromFile(TSink& sink);
    void Finish(TSink& sink);
};
