#include "U_FrmSearch.h"

#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>

#include "U_MainFunGui.h"
#include "U_TvSchedule.h"
#include "platform/CodePage.h"
#include "ui_U_FrmSearch.h"

namespace {

const char* const SearchingStation =
    "\xD5\xFD\xD4\xDA\xCB\xD1\xCB\xF7\xB5\xE7\xCA\xD3\xCC\xA8\xA3\xBA";
// A station's rows go to the dialog at its end, or in parts of this many.
constexpr std::size_t BatchRows = 8192;
// Rows the dialog adds to its list per turn of the event loop, so that input
// and painting go on however fast the worker finds rows.
constexpr int RowsPerTurn = 20000;

} // namespace

// ---- Worker -------------------------------------------------------------------

TTvSearchThread::TTvSearchThread(TScheduleObject* schedule, std::string key,
                                 StationSnapshot stations, std::atomic<bool>& stopRequested)
    : Schedule(schedule), Key(std::move(key)), Stations(std::move(stations)),
      StopRequested(stopRequested) {}

TTvSearchThread::~TTvSearchThread() {
    StopRequested = true;
    Resume();
    wait(); // it never waits for the GUI thread once it is not paused
    // Messages nobody took (a closed dialog) go under the lock the worker
    // sent them under.
    std::lock_guard lock(outboxMutex);
    outbox.clear();
}

void TTvSearchThread::Pause() {
    std::lock_guard lock(pauseMutex);
    paused = true;
}

void TTvSearchThread::Resume() {
    std::lock_guard lock(pauseMutex);
    paused = false;
    resumed.notify_all();
}

void TTvSearchThread::TakeMessages(std::deque<TSearchMessage>& inbox) {
    std::lock_guard lock(outboxMutex);
    for (TSearchMessage& message : outbox)
        inbox.push_back(std::move(message));
    outbox.clear();
}

void TTvSearchThread::Send(TSearchMessage message) {
    bool wasEmpty;
    {
        std::lock_guard lock(outboxMutex);
        wasEmpty = outbox.empty();
        outbox.push_back(std::move(message));
    }
    // One notice per batch of messages: the GUI thread takes all that wait.
    if (wasEmpty) emit MessagesPosted();
}

void TTvSearchThread::WaitWhilePaused(int i) {
    std::unique_lock lock(pauseMutex);
    if (!paused) return;
    if (OnSafePoint) {
        lock.unlock();
        OnSafePoint(i, spPausing);
        lock.lock();
    }
    resumed.wait(lock, [this] { return !paused; });
}

void TTvSearchThread::run() {
    std::string unread;
    for (int i = 0; i < int(Stations.size()); ++i) {
        // Pause before the stop check: a stop clicked before a pause ends the
        // search once it is resumed.
        WaitWhilePaused(i);
        if (StopRequested) break;
        Send({TSearchMessage::smProgress, SearchingStation + Stations[std::size_t(i)].Name, {}});
        if (OnSafePoint) OnSafePoint(i, spStation);
        if (!SearchStation(i)) {
            unread = Stations[std::size_t(i)].Name;
            break;
        }
    }
    // A station's text is held only while it is searched.
    Buffer = std::string();
    Lines = TLines();
    Send({TSearchMessage::smEnd, std::move(unread), {}});
}

bool TTvSearchThread::SearchStation(int i) {
    if (!Schedule) return false;
    std::shared_ptr<TSearchBatch> batch;
    auto sendRows = [&] {
        Send({TSearchMessage::smRows, {}, std::move(batch)});
        batch.reset();
    };
    bool read =
        SearchScheduleStation(*Schedule, Stations[std::size_t(i)].Offset, Key, Buffer, Lines,
                              [&](const TStationRowReader& reader, std::string_view line) {
                                  if (!batch) {
                                      batch = std::make_shared<TSearchBatch>();
                                      batch->Station = Schedule->StationDisplayName();
                                  }
                                  batch->Add(reader, line);
                                  if (batch->Rows.size() >= BatchRows) sendRows();
                              });
    if (batch) sendRows();
    return read;
}

// ---- Dialog -------------------------------------------------------------------

namespace {

// The buttons' glyphs, 16 x 16; QIcon greys them itself for a disabled button.
QIcon Glyph(void (*draw)(QPainter&)) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    draw(painter);
    return QIcon(pixmap);
}

void DrawPlay(QPainter& p) {
    p.setBrush(QColor(0, 128, 0));
    p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(13, 8), QPointF(4, 14)}));
}

void DrawPause(QPainter& p) {
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(4, 3, 3, 10));
    p.drawRect(QRectF(9, 3, 3, 10));
}

void DrawStop(QPainter& p) {
    p.setBrush(QColor(128, 0, 0));
    p.drawRect(QRectF(4, 4, 8, 8));
}

QLabel* AddPanel(QStatusBar* bar, int width) {
    auto* panel = new QLabel(bar);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (width > 0) {
        panel->setFixedWidth(width);
        bar->addWidget(panel);
    } else {
        bar->addWidget(panel, 1);
    }
    return panel;
}

} // namespace

TFrmSearch::TFrmSearch(QWidget* parent, TScheduleObject* schedule, const QListWidget* lbTvSets,
                       const QListWidget* lbPos)
    : QDialog(parent), ui(std::make_unique<Ui::TFrmSearch>()), Schedule(schedule),
      StationNames(lbTvSets), StationOffsets(lbPos) {
    ui->setupUi(this);
    setFixedSize(521, 389);
    ui->btnSearch->setIcon(Glyph(DrawPlay));
    ui->btnPause->setIcon(Glyph(DrawPause));
    ui->btnStop->setIcon(Glyph(DrawStop));

    Results = new TSearchResultModel(this);
    QTableView* list = ui->lvSearchList;
    list->setModel(Results);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(false);
    const int widths[] = {120, 80, 50, 50};
    for (int column = 0; column < 4; ++column)
        header->resizeSection(column, widths[column]);
    // The selection stays as visible as it is with focus.
    QPalette palette = list->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);

    ui->BarHint->setSizeGripEnabled(false);
    HintPanel = AddPanel(ui->BarHint, 200);
    NotePanel = AddPanel(ui->BarHint, 0);

    DrainTimer = new QTimer(this);
    DrainTimer->setSingleShot(true);
    DrainTimer->setInterval(0);
    connect(DrainTimer, &QTimer::timeout, this, &TFrmSearch::DrainMessages);

    connect(ui->btnSearch, &QToolButton::clicked, this, &TFrmSearch::btnSearchClick);
    connect(ui->btnPause, &QToolButton::clicked, this, &TFrmSearch::btnPauseClick);
    connect(ui->btnStop, &QToolButton::clicked, this, &TFrmSearch::btnStopClick);
    connect(ui->SpeedButton1, &QToolButton::clicked, this, &TFrmSearch::SpeedButton1Click);
}

TFrmSearch::~TFrmSearch() {
    // The worker refers to StopRequested: it goes first.
    Worker.reset();
}

void TFrmSearch::btnSearchClick() {
    const QString typed = ui->etSearchKey->text();
    if (typed.isEmpty() || Worker) return;
    bool encoded = false;
    std::string key = platform::QStringToGbk(typed, &encoded);
    // A character GBK cannot hold occurs in no station text; its "?" stand-in
    // must not match. The empty key matches nothing.
    if (!encoded) key.clear();
    StopRequested = false;
    Inbox.clear();
    Results->Clear();
    NotePanel->clear();
    StartWorker(std::move(key));
    ui->btnSearch->setEnabled(false);
    ui->btnStop->setEnabled(true);
    ui->btnPause->setEnabled(true);
    Worker->start();
}

void TFrmSearch::StartWorker(std::string key) {
    StationSnapshot stations;
    if (StationNames && StationOffsets)
        stations = TakeStationSnapshot(StationNames, StationOffsets);
    Worker = std::make_unique<TTvSearchThread>(Schedule, std::move(key), std::move(stations),
                                               StopRequested);
    Worker->OnSafePoint = WorkerSafePointHook;
    const quint64 search = WorkerSearch = ++SearchCount;
    WorkerEnded = false;
    // Messages of an earlier worker, or that come up after closing began,
    // are dropped.
    connect(
        Worker.get(), &TTvSearchThread::MessagesPosted, this,
        [this, search] {
            if (search == WorkerSearch && !Closing) DrainMessages();
        },
        Qt::QueuedConnection);
    connect(
        Worker.get(), &QThread::finished, this, [this, search] { WorkerFinished(search); },
        Qt::QueuedConnection);
}

void TFrmSearch::WorkerFinished(quint64 search) {
    if (search != WorkerSearch) return;
    WorkerEnded = true;
    if (CloseLoop) CloseLoop->quit();
}

// Shows what the worker sent, in order, but at most RowsPerTurn rows at a
// time: the rest follows in the next turn of the event loop.
void TFrmSearch::DrainMessages() {
    if (!Worker || Closing) return;
    Worker->TakeMessages(Inbox);
    int budget = RowsPerTurn;
    std::string progress, unread;
    bool hasProgress = false, ended = false;
    while (!Inbox.empty() && budget > 0 && !ended) {
        TSearchMessage& message = Inbox.front();
        switch (message.Kind) {
        case TSearchMessage::smProgress:
            // Only the last text of a turn is ever seen.
            progress = std::move(message.Text);
            hasProgress = true;
            break;
        case TSearchMessage::smRows: {
            int count = std::min(budget, int(message.Rows->Rows.size()) - message.Shown);
            Results->Stage(message.Rows, message.Shown, count);
            message.Shown += count;
            budget -= count;
            if (message.Shown < int(message.Rows->Rows.size())) continue;
            break;
        }
        case TSearchMessage::smEnd:
            unread = std::move(message.Text);
            ended = true;
            break;
        }
        Inbox.pop_front();
    }
    Results->Publish();
    if (hasProgress) HintPanel->setText(platform::GbkToQString(progress));
    if (ended)
        SearchFinished(unread);
    else if (!Inbox.empty())
        DrainTimer->start();
}

void TFrmSearch::SearchFinished(const std::string& unreadStation) {
    // The worker has sent its last message and only returns now: waiting
    // cannot hold up on anything the GUI thread owes it.
    if (Worker) Worker->wait();
    Worker.reset(); // with it its buffer and line list
    WorkerSearch = 0;
    ui->btnSearch->setEnabled(true);
    ui->btnPause->setChecked(false);
    ui->btnPause->setEnabled(false);
    ui->btnStop->setEnabled(false);
    HintPanel->setText(QStringLiteral("搜索完毕"));
    if (!unreadStation.empty())
        NotePanel->setText(QStringLiteral("无法读取电视台：") +
                           platform::GbkToQString(unreadStation) + QStringLiteral("，搜索中止"));
}

void TFrmSearch::btnPauseClick() {
    if (!Worker) return;
    if (ui->btnPause->isChecked()) {
        ui->btnStop->setEnabled(false);
        Worker->Pause();
    } else {
        ui->btnStop->setEnabled(true);
        Worker->Resume();
    }
}

void TFrmSearch::btnStopClick() {
    StopRequested = true;
}

void TFrmSearch::SpeedButton1Click() {
    done(1);
}

void TFrmSearch::done(int result) {
    if (Closing) return; // a second close while the first waits for the worker
    Closing = true;
    EndSearchForClose();
    Closing = false;
    QDialog::done(result);
}

// Stops the search as 停止 does and waits for the worker's end in a local
// event loop: the dialog keeps painting, and the worker, which never waits for
// the GUI thread, reaches its stop check at the end of its station.
void TFrmSearch::EndSearchForClose() {
    DrainTimer->stop();
    Inbox.clear();
    if (!Worker) return;
    StopRequested = true;
    Worker->Resume();
    if (!WorkerEnded) {
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui->etSearchKey, ui->btnSearch, ui->btnPause, ui->btnStop, ui->SpeedButton1})
            control->setEnabled(false);
        NotePanel->setText(QStringLiteral("正在停止搜索……"));
        QEventLoop loop;
        CloseLoop = &loop;
        loop.exec();
        CloseLoop = nullptr;
    }
    Worker->wait();
    Worker.reset();
    WorkerSearch = 0;
    Inbox.clear();
}
