// The update dialog: downloads showtime.zip, extracts it beside the program
// and, once every entry has come out whole, rebuilds lastsch.sch from the
// station folder; a failed download or a damaged archive leaves the old
// schedule as it was. A source the user names (an address or a file, of an
// XMLTV guide or an archive) is read by TUpdateWorker instead.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/TUnZip.h"
#include "http/U_HttpGet.h"

class TUpdateWorker;

namespace Ui {
class TFRMUPDATE;
}

class TFrmUpdate : public QDialog {
    Q_OBJECT

public:
    explicit TFrmUpdate(QWidget* parent = nullptr);
    ~TFrmUpdate() override;

    // Form and control events.
    void FormCreate();
    void FormClose();
    void FormDestroy();
    void btnUpdateClick();
    void btnCancelClick();
    void btnCloseClick();
    // Component events.
    void HttpProgress(QObject* Sender, std::int32_t TotalSize, std::int32_t CurReadedSize);
    void HttpDoneFile(QObject* Sender, const std::string& FileName, std::int32_t FileSize);
    void HttpError(QObject* Sender);
    void UnZip1End(QObject* Sender, const std::string& FileName, bool CRC_PASS);
    void UnZip1Error(QObject* Sender, const std::string& FileName, const std::string& ExtendedMsg,
                     const std::string& VolumeID, int ECode);
    void UnZip1CorruptZipHeader(QObject* Sender, archive::THeaderTypeState HeadFlag, bool& Cancel);

    Ui::TFRMUPDATE* ui;
    std::unique_ptr<TTvHttpGet> HttpGet;
    archive::TUnZip UnZip1;

    // The update server's host; the program's build setting by default.
    static std::string UpdateHost();
    // How long a source's server may take to answer or to send anything
    // (slower than 100 bytes a second counts as nothing).
    long SourceTimeoutMs = 30000;
    // The last five sources updated from, the latest first; the first is
    // preselected.
    static std::vector<std::string> RecentSources();
    // Puts source first among them, for the next time.
    static void RememberSource(const std::string& source);
    void btnSourceClick();
    // Whether a source's worker is running (also a stopped one not yet ended).
    bool SourceRunning() const { return worker != nullptr; }

protected:
    // The close button is the only way out: Escape does nothing.
    void reject() override {}
    // Closing waits until a running extraction has returned.
    void done(int result) override;

private:
    void PrepareUpdate();
    void RemoveUpdateFiles();
    void SetButtons(bool update, bool cancel, bool close);
    bool InstallUpdate(const std::string& archive, std::string& buildError);
    void StartSource(const std::string& source);
    void ShowWorkerProgress();
    void WorkerEnd();
    void StopWorker();
    void ShowHint(const QString& hint, const std::string& cause = {});
    // Extracts and builds archive; the source it came from is remembered
    // when that updated the schedule.
    void InstallArchive(const std::string& archive, const std::string& source);

    // What the running extraction's events have told: an update goes in only
    // when it gave at least one file and every entry passed, with nothing
    // reported.
    struct TExtraction {
        int files = 0;
        bool sound = true;
    } extraction;
    bool extracting = false;
    bool downloadCancelled = false; // the failure that follows is the user's doing
    bool closePending = false;
    bool closed = false;
    TUpdateWorker* worker = nullptr;
    QTimer workerProgress;
    std::string archiveCause; // why the archive just extracted is refused
    int hintHeight = 0;       // the hint's designed height, before a cause shows
};
