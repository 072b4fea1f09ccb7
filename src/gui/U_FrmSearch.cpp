#include "gui/U_FrmSearch.h"

#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>

#include "gui/U_FrmSearchExport.h"
#include "gui/U_MainFunGui.h"
#include "gui/U_MainFunGuiFit.h"
#include "gui/U_MainFunGuiIcon.h"
#include "platform/CodePage.h"
#include "ui_U_FrmSearch.h"

namespace {

// One timer gathers the worker's notices: what it sent joins the list at most
// this often, so that a fast worker neither keeps the GUI thread busy with one
// message after another nor makes the view take its rows in many small steps.
constexpr int TickMs = 20;

// The buttons' glyphs, 16 x 16 as designed, drawn at the screen's resolution;
// the style greys them for a disabled button.
QIcon Glyph(void (*draw)(QPainter&)) {
    return DrawnIcon({16, 16}, [draw](QPainter& painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        draw(painter);
    });
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

QLabel* AddPanel(QStatusBar* bar, const char* name, int width) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(name);
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
    // The columns before the title have fixed widths.
    const int widths[TSearchResultModel::colTitle] = {120, 80, 50, 50};
    for (int column = 0; column < TSearchResultModel::colTitle; ++column)
        header->resizeSection(column, widths[column]);
    KeepSelectionVisible(list);

    ui->BarHint->setSizeGripEnabled(false);
    HintPanel = AddPanel(ui->BarHint, "HintPanel", 200);
    NotePanel = AddPanel(ui->BarHint, "NotePanel", 0);
    FitToText(this);

    DrainTimer = new QTimer(this);
    DrainTimer->setSingleShot(true);
    connect(DrainTimer, &QTimer::timeout, this, &TFrmSearch::DrainMessages);

    connect(ui->btnSearch, &QToolButton::clicked, this, &TFrmSearch::btnSearchClick);
    connect(ui->btnPause, &QToolButton::clicked, this, &TFrmSearch::btnPauseClick);
    connect(ui->btnStop, &QToolButton::clicked, this, &TFrmSearch::btnStopClick);
    connect(ui->SpeedButton1, &QToolButton::clicked, this, &TFrmSearch::SpeedButton1Click);
    new TFrmSearchExport(this, schedule, lbTvSets, lbPos); // 导出… and 加入日历 for the results
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
    EndSeen = false;
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
        [this, search](bool last) {
            if (search == WorkerSearch && !Closing) ScheduleDrain(last);
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

// The end notice is taken at once; other messages wait for the next tick.
void TFrmSearch::ScheduleDrain(bool now) {
    if (now)
        DrainTimer->start(0);
    else if (!DrainTimer->isActive())
        DrainTimer->start(TickMs);
}

// Takes what the worker sent and shows it in order: the last progress text,
// the rows, and once every row is in the list, the end.
void TFrmSearch::DrainMessages() {
    if (!Worker || Closing) return;
    std::deque<TSearchMessage> messages;
    Worker->TakeMessages(messages);
    const std::string* progress = nullptr;
    for (TSearchMessage& message : messages) {
        switch (message.Kind) {
        case TSearchMessage::smProgress:
            progress = &message.Text;
            break;
        case TSearchMessage::smRows:
            Results->Stage(std::move(message.Rows));
            break;
        case TSearchMessage::smEnd:
            EndSeen = true;
            UnreadStation = std::move(message.Text);
            break;
        }
    }
    if (progress) HintPanel->setText(platform::GbkToQString(*progress));
    Results->Publish(RowsPerPublish);
    if (Results->Unpublished() > 0)
        DrainTimer->start(EndSeen ? 0 : TickMs);
    else if (EndSeen)
        SearchFinished(UnreadStation);
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
}
