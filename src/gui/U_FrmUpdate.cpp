#include "gui/U_FrmUpdate.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "gui/U_MainFunGuiFit.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_MainFunUpdate.h"
#include "ui_U_FrmUpdate.h"

namespace {

const char* const UpdatePath = "/download/showtime.zip";

} // namespace

std::string TFrmUpdate::UpdateHost() {
    return VIMBREL_UPDATE_HOST;
}

TFrmUpdate::TFrmUpdate(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(new Ui::TFRMUPDATE) {
    ui->setupUi(this);
    QFont font("宋体");
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(351, 182);
    FitToText(this);
    UnZip1.SetCpuType(archive::cptAuto);
    UnZip1.OnEnd = [this](QObject* sender, const std::string& name, bool pass) {
        UnZip1End(sender, name, pass);
    };
    UnZip1.OnError = [this](QObject* sender, const std::string& name, const std::string& message,
                            const std::string& volume,
                            int code) { UnZip1Error(sender, name, message, volume, code); };
    UnZip1.OnCorruptZipHeader = [this](QObject* sender, archive::THeaderTypeState head,
                                       bool& cancel) {
        UnZip1CorruptZipHeader(sender, head, cancel);
    };
    connect(ui->btnUpdate, &QPushButton::clicked, this, &TFrmUpdate::btnUpdateClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TFrmUpdate::btnCancelClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &TFrmUpdate::btnCloseClick);
    FormCreate();
}

TFrmUpdate::~TFrmUpdate() {
    FormDestroy();
    delete ui;
}

void TFrmUpdate::FormCreate() {
    // A registry read error (a value of the wrong type) is shown; the dialog
    // still opens ready, without what an earlier update left.
    try {
        PrepareUpdate();
    } catch (const std::exception& e) {
        QMessageBox::critical(this, "Vimbrel", QString::fromUtf8(e.what()));
    }
    SetButtons(true, false, true);
    RemoveUpdateFiles();
}

void TFrmUpdate::PrepareUpdate() {
    HttpGet = std::make_unique<TTvHttpGet>(nullptr);
    HttpGet->AcceptTypes = "*/*";
    HttpGet->Agent = "";
    HttpGet->BinaryData = true;
    HttpGet->UseCache = false;
    HttpGet->WaitThread = false;
    HttpGet->OnProgress = [this](QObject* sender, std::int32_t total, std::int32_t read) {
        HttpProgress(sender, total, read);
    };
    HttpGet->OnDoneFile = [this](QObject* sender, const std::string& name, std::int32_t size) {
        HttpDoneFile(sender, name, size);
    };
    HttpGet->OnError = [this](QObject* sender) { HttpError(sender); };
    HttpGet->URL = UpdateHost() + UpdatePath;
    HttpGet->FileName = UpdateArchivePath();
    std::string proxy;
    if (HttpGet->ReadIEProxySettings(proxy))
        ui->rbIeProxy->setChecked(true);
    else
        ui->rbNoProxy->setChecked(true);
    ui->etProxyServer->setText(QString::fromStdString(SplitField(proxy, ":", 1)));
    ui->etProxyPort->setText(QString::fromStdString(SplitField(proxy, ":", 2)));
}

void TFrmUpdate::RemoveUpdateFiles() {
    if (platform::FileExists(UpdateArchivePath())) platform::DeleteFileA(UpdateArchivePath());
    if (platform::DirectoryExists(StationFolderPath())) DeleteFolder(StationFolderPath());
}

void TFrmUpdate::SetButtons(bool update, bool cancel, bool close) {
    ui->btnUpdate->setEnabled(update);
    ui->btnCancel->setEnabled(cancel);
    ui->btnClose->setEnabled(close);
}

void TFrmUpdate::btnUpdateClick() {
    downloadCancelled = false;
    SetButtons(false, true, false);
    ui->lbHint->setText("更新提示：正在下载更新信息...");
    if (ui->rbNoProxy->isChecked()) {
        HttpGet->UseProxy = false;
    } else {
        HttpGet->UseProxy = true;
        HttpGet->ProxyServer =
            (ui->etProxyServer->text() + ":" + ui->etProxyPort->text()).toStdString();
    }
    HttpGet->StartDownload();
}

// The bar's range, then its position. Going through position 0 first, as a
// bar that clamps its position to a smaller maximum would need, repainted the
// bar twice for every 1 KB chunk: a download of thousands of stations spent
// most of its time painting.
void TFrmUpdate::HttpProgress(QObject*, std::int32_t TotalSize, std::int32_t CurReadedSize) {
    ui->pbHint->setRange(0, TotalSize);
    ui->pbHint->setValue(CurReadedSize);
}

void TFrmUpdate::HttpDoneFile(QObject*, const std::string&, std::int32_t) {
    if (extracting) return; // one extraction at a time
    ui->pbHint->setValue(0);
    ui->lbHint->setText("更新提示：解压缩更新文件...");
    extracting = true;
    std::string buildError;
    const bool updated = InstallUpdate(buildError);
    extracting = false;
    ui->lbHint->setText(updated ? "更新提示：更新完毕" : "更新提示：更新文件有误，节目表未改变");
    SetButtons(true, false, true);
    if (!buildError.empty()) QMessageBox::critical(this, "Vimbrel", QString::fromUtf8(buildError));
    // A close pressed meanwhile takes effect now that the update is over.
    if (closePending)
        QMetaObject::invokeMethod(
            this, [this] { done(1); }, Qt::QueuedConnection);
}

// Extracts the archive into an emptied station folder and, only when every
// entry came out whole, builds the new schedule in one go, letting events run
// between stations. Anything else keeps the old schedule, byte for byte, and
// removes what the archive left.
bool TFrmUpdate::InstallUpdate(std::string& buildError) {
    extraction = {};
    // The new archive's stations only, none left from an earlier update; and
    // only the station folder's entries: nothing else beside the program (the
    // schedule itself, the program's own files) is an archive's to replace.
    const bool emptied =
        !platform::DirectoryExists(StationFolderPath()) || DeleteFolder(StationFolderPath());
    if (emptied)
        ExtractArchive(UnZip1, UpdateArchivePath(), ExtractionFolder(),
                       StationFolderName() + "\\*");
    if (emptied && extraction.files > 0 && extraction.sound) {
        try {
            BuildScheduleFile(StationFolderPath(), "*.*", ScheduleFilePath(), platform::Now(),
                              [] { QCoreApplication::processEvents(); });
            return true;
        } catch (const std::exception& e) {
            buildError = e.what();
        }
    }
    RemoveUpdateFiles();
    return false;
}

// Each entry is only taken note of: the schedule changes once the whole
// archive is out, so the dialog stays on "解压缩更新文件..." until then.
void TFrmUpdate::UnZip1End(QObject*, const std::string& FileName, bool CRC_PASS) {
    const bool folder = !FileName.empty() && FileName.back() == '\\';
    if (!folder) ++extraction.files;
    extraction.sound = extraction.sound && CRC_PASS;
}

// Whatever the extractor reports (an entry refused or unreadable, a full
// disk) means the archive did not come out whole.
void TFrmUpdate::UnZip1Error(QObject*, const std::string&, const std::string&, const std::string&,
                             int) {
    extraction.sound = false;
}

// An archive without its central directory (one cut short) cannot tell which
// entries are missing: it is refused whole.
void TFrmUpdate::UnZip1CorruptZipHeader(QObject*, archive::THeaderTypeState, bool& Cancel) {
    Cancel = true;
    extraction.sound = false;
}

// A failed download: said so, and the dialog is ready again. A cancelled
// one keeps the look the cancel gave it.
void TFrmUpdate::HttpError(QObject*) {
    if (downloadCancelled) return;
    RemoveUpdateFiles(); // a partial archive is of no use
    ui->pbHint->setValue(0);
    ui->lbHint->setText("更新提示：下载失败");
    SetButtons(true, false, true);
}

void TFrmUpdate::btnCancelClick() {
    downloadCancelled = true;
    if (HttpGet) HttpGet->AbortDownload();
    SetButtons(true, false, true);
}

void TFrmUpdate::btnCloseClick() {
    done(1);
}

void TFrmUpdate::done(int result) {
    if (closed) return;
    if (extracting) {
        setResult(result);
        closePending = true;
        return;
    }
    closed = true;
    FormClose();
    QDialog::done(result);
}

void TFrmUpdate::FormClose() {
    RemoveUpdateFiles();
}

void TFrmUpdate::FormDestroy() {
    HttpGet.reset();
}
