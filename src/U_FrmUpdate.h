// The update dialog: downloads showtime.zip, extracts it beside the program
// and rebuilds lastsch.sch from the station folder after every extracted entry.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>

#include "U_HttpGet.h"
#include "U_MainFunBuildCache.h"
#include "archive/TUnZip.h"

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
    void UnZip1End(QObject* Sender, const std::string& FileName, bool CRC_PASS);

    Ui::TFRMUPDATE* ui;
    std::unique_ptr<TTvHttpGet> HttpGet;
    archive::TUnZip UnZip1;

    // The update server's host; the program's build setting by default.
    static std::string UpdateHost();

protected:
    // The close button is the only way out: Escape does nothing.
    void reject() override {}
    // Closing waits until a running extraction has returned.
    void done(int result) override;

private:
    void PrepareUpdate();
    void RemoveUpdateFiles();
    void SetButtons(bool update, bool cancel, bool close);

    // The station files already read by this extraction's builds.
    TBuildCache stationCache;
    int extracting = 0; // nesting depth of HttpDoneFile
    bool closePending = false;
    bool closed = false;
};
