#include "U_FrmUpdate.h"

#include <QMessageBox>

#include "U_MainFunBuild.h"
#include "U_MainFunFolder.h"
#include "U_MainFunGuiFit.h"
#include "U_MainFunText.h"
#include "U_MainFunUpdate.h"
#include "platform/Clock.h"
#include "platform/Files.h"
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

void TFrmUpdate::HttpProgress(QObject*, std::int32_t TotalSize, std::int32_t CurReadedSize) {
    ui->pbHint->setValue(0);
    ui->pbHint->setMaximum(TotalSize);
    ui->pbHint->setValue(CurReadedSize);
}

void TFrmUpdate::HttpDoneFile(QObject*, const std::string&, std::int32_t) {
    ui->pbHint->setValue(0);
    ui->lbHint->setText("更新提示：解压缩更新文件...");
    ++extracting;
    ExtractArchive(UnZip1, UpdateArchivePath(), ExtractionFolder());
    --extracting;
    if (extracting == 0) stationCache.Clear(); // the schedule holds the texts now
    // A close pressed meanwhile takes effect now that the extraction is over.
    if (closePending && extracting == 0)
        QMetaObject::invokeMethod(
            this, [this] { done(1); }, Qt::QueuedConnection);
}

void TFrmUpdate::UnZip1End(QObject*, const std::string&, bool) {
    // A failed build ends this call; the extractor absorbs the error and goes on.
    BuildScheduleFile(StationFolderPath(), "*.*", ScheduleFilePath(), platform::Now(),
                      &stationCache);
    ui->lbHint->setText("更新提示：更新完毕");
    SetButtons(true, false, true);
}

void TFrmUpdate::btnCancelClick() {
    if (HttpGet) HttpGet->AbortDownload();
    SetButtons(true, false, true);
}

void TFrmUpdate::btnCloseClick() {
    done(1);
}

void TFrmUpdate::done(int result) {
    if (closed) return;
    if (extracting > 0) {
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
