#include "gui/U_FrmUpdate.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <algorithm>
#include <fstream>
#include <memory>
#include <utility>

#include "gui/U_FrmUpdateCause.h"
#include "gui/U_FrmUpdateWorker.h"
#include "gui/U_MainFunGuiFit.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_MainFunUpdate.h"
#include "ui_U_FrmUpdate.h"

namespace {

const char* const UpdatePath = "/download/showtime.zip";
// Under the program's own key, one line each: the source last updated from
// (empty: the build's server), then the others used before it. One value,
// so that remembering costs one write of the hive.
const char* const SourcesValue = "GuideSources";
constexpr std::size_t RecentCount = 5;

bool StartsLikeAZip(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[2] = {};
    return in.read(head, 2) && head[0] == 'P' && head[1] == 'K';
}

} // namespace

std::vector<std::string> TFrmUpdate::RecentSources() {
    std::vector<std::string> sources;
    try {
        platform::TRegistry registry;
        if (!registry.KeyExists(platform::VimbrelKey) ||
            !registry.OpenKey(platform::VimbrelKey, false) || !registry.ValueExists(SourcesValue))
            return sources;
        const std::string lines = registry.ReadString(SourcesValue);
        std::size_t named = 0;
        for (std::size_t from = 0; from <= lines.size() && named < RecentCount;) {
            std::size_t to = lines.find('\n', from);
            if (to == std::string::npos) to = lines.size();
            const std::string source = lines.substr(from, to - from);
            from = to + 1;
            if (!sources.empty() && (source.empty() || source == sources.front())) continue;
            sources.push_back(source);
            if (!source.empty()) ++named;
        }
    } catch (const platform::ERegistryException&) {
        // A value of the wrong type: nothing remembered.
    }
    return sources;
}

// The latest source first, then the others used before it (an empty source,
// the build's own server, is preselected but not listed).
void TFrmUpdate::RememberSource(const std::string& source) {
    std::string lines = source;
    std::size_t named = source.empty() ? 0 : 1;
    for (const std::string& s : RecentSources()) {
        if (s.empty() || s == source || named == RecentCount) continue;
        lines += "\n" + s;
        ++named;
    }
    try {
        platform::TRegistry registry;
        if (registry.OpenKey(platform::VimbrelKey, true)) registry.WriteString(SourcesValue, lines);
    } catch (const platform::ERegistryException&) {
        // Not remembered; the update itself stands.
    }
}

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
    connect(ui->btnSource, &QToolButton::clicked, this, &TFrmUpdate::btnSourceClick);
    hintHeight = ui->lbHint->height();
    workerProgress.setInterval(25);
    connect(&workerProgress, &QTimer::timeout, this, &TFrmUpdate::ShowWorkerProgress);
    const std::vector<std::string> sources = RecentSources();
    for (const std::string& s : sources)
        if (!s.empty()) ui->cbSource->addItem(QString::fromStdString(s));
    ui->cbSource->setEditText(sources.empty() ? QString() : QString::fromStdString(sources[0]));
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

// The hint, and below it the cause of a failure, whole: the dialog grows by
// the lines the cause needs.
void TFrmUpdate::ShowHint(const QString& hint, const std::string& cause) {
    QLabel* label = ui->lbHint;
    label->setText(cause.empty() ? hint : hint + "\n" + QString::fromStdString(cause));
    const int grow = std::max(hintHeight, label->heightForWidth(label->width())) - label->height();
    if (grow == 0) return;
    label->resize(label->width(), label->height() + grow);
    for (QWidget* w : {static_cast<QWidget*>(ui->pbHint), static_cast<QWidget*>(ui->btnUpdate),
                       static_cast<QWidget*>(ui->btnCancel), static_cast<QWidget*>(ui->btnClose)})
        w->move(w->x(), w->y() + grow);
    setFixedSize(width(), height() + grow);
}

void TFrmUpdate::btnSourceClick() {
    const QString file = QFileDialog::getOpenFileName(
        this, "选择节目源", QString(), "节目表和更新文件 (*.xml *.gz *.zip);;所有文件 (*)");
    if (!file.isEmpty()) ui->cbSource->setEditText(file);
}

void TFrmUpdate::btnUpdateClick() {
    if (worker) return; // a stopped source is still ending
    downloadCancelled = false;
    SetButtons(false, true, false);
    ShowHint("更新提示：正在下载更新信息...");
    if (ui->rbNoProxy->isChecked()) {
        HttpGet->UseProxy = false;
    } else {
        HttpGet->UseProxy = true;
        HttpGet->ProxyServer =
            (ui->etProxyServer->text() + ":" + ui->etProxyPort->text()).toStdString();
    }
    const std::string source = ui->cbSource->currentText().trimmed().toStdString();
    if (source.empty())
        HttpGet->StartDownload();
    else
        StartSource(source);
}

void TFrmUpdate::StartSource(const std::string& source) {
    worker = new TUpdateWorker;
    worker->Source = source;
    worker->ArchivePath = UpdateArchivePath();
    worker->SchedulePath = ScheduleFilePath();
    worker->UseProxy = HttpGet->UseProxy;
    worker->ProxyServer = HttpGet->ProxyServer;
    worker->TimeoutMs = SourceTimeoutMs;
    worker->AfterUpdate = [source] { RememberSource(source); };
    connect(worker, &QThread::finished, this, &TFrmUpdate::WorkerEnd);
    ui->pbHint->setRange(0, 1000);
    ui->pbHint->setValue(0);
    workerProgress.start();
    worker->start();
}

// The bar in thousandths of the bytes (or stations) known; a download of
// unknown size shows a busy bar.
void TFrmUpdate::ShowWorkerProgress() {
    if (!worker) return;
    const std::int64_t total = worker->Total, done = worker->Done;
    if (worker->Stage == TUpdateWorker::stBuild &&
        ui->lbHint->text() != "更新提示：正在生成节目表...")
        ShowHint("更新提示：正在生成节目表...");
    if (total <= 0) {
        ui->pbHint->setRange(0, 0);
        return;
    }
    ui->pbHint->setRange(0, 1000);
    ui->pbHint->setValue(int(std::min<std::int64_t>(1000, done * 1000 / total)));
}

void TFrmUpdate::WorkerEnd() {
    workerProgress.stop();
    std::unique_ptr<TUpdateWorker> ended(std::exchange(worker, nullptr));
    ended->wait();
    ui->pbHint->setRange(0, 1000);
    ui->pbHint->setValue(0);
    if (ended->Cancelled) {
        RemoveUpdateFiles();
        SetButtons(true, false, true);
    } else if (ended->Updated) {
        ShowHint("更新提示：更新完毕");
        SetButtons(true, false, true);
    } else if (!ended->ArchiveFile.empty()) {
        InstallArchive(ended->ArchiveFile, ended->Source);
        return;
    } else {
        RemoveUpdateFiles();
        ShowHint(ended->GuideFault ? "更新提示：更新文件有误，节目表未改变" : "更新提示：下载失败",
                 ended->Cause);
        SetButtons(true, false, true);
    }
    if (closePending)
        QMetaObject::invokeMethod(
            this, [this] { done(1); }, Qt::QueuedConnection);
}

// Stops a running source and waits for its end in a local loop (its thread
// hands nothing over, but its end is an event like any other).
void TFrmUpdate::StopWorker() {
    if (!worker) return;
    workerProgress.stop();
    disconnect(worker, nullptr, this, nullptr);
    worker->Stop = true;
    QEventLoop loop;
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    if (!worker->isFinished()) loop.exec();
    worker->wait();
    delete std::exchange(worker, nullptr);
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
    InstallArchive(UpdateArchivePath(), "");
}

void TFrmUpdate::InstallArchive(const std::string& archive, const std::string& source) {
    if (extracting) return; // one extraction at a time
    ui->pbHint->setValue(0);
    ShowHint("更新提示：解压缩更新文件...");
    extracting = true;
    std::string buildError;
    const bool updated = InstallUpdate(archive, buildError);
    extracting = false;
    if (updated) RememberSource(source);
    ShowHint(updated ? "更新提示：更新完毕" : "更新提示：更新文件有误，节目表未改变",
             updated ? std::string() : archiveCause);
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
bool TFrmUpdate::InstallUpdate(const std::string& archive, std::string& buildError) {
    extraction = {};
    archiveCause.clear();
    // The new archive's stations only, none left from an earlier update; and
    // only the station folder's entries: nothing else beside the program (the
    // schedule itself, the program's own files) is an archive's to replace.
    const bool emptied =
        !platform::DirectoryExists(StationFolderPath()) || DeleteFolder(StationFolderPath());
    if (emptied) ExtractArchive(UnZip1, archive, ExtractionFolder(), StationFolderName() + "\\*");
    if (!emptied)
        archiveCause = "无法清空 " + StationFolderPath();
    else if (!StartsLikeAZip(archive))
        archiveCause = "更新文件不是 ZIP 文件";
    else if (!extraction.sound)
        archiveCause = "更新文件已损坏";
    else if (extraction.files == 0)
        archiveCause = "更新文件的“" + StationFolderName() + "”中没有节目文件";
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
    ShowHint("更新提示：下载失败",
             DownloadCause(HttpGet->LastError, HttpGet->LastStatus, HttpGet->LastHost));
    SetButtons(true, false, true);
}

void TFrmUpdate::btnCancelClick() {
    downloadCancelled = true;
    if (HttpGet) HttpGet->AbortDownload();
    if (worker) worker->Stop = true;
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
    StopWorker(); // a stopped source may still be ending
    FormClose();
    QDialog::done(result);
}

void TFrmUpdate::FormClose() {
    RemoveUpdateFiles();
}

void TFrmUpdate::FormDestroy() {
    StopWorker();
    HttpGet.reset();
}
