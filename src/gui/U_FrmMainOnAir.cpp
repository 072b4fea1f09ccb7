// The main window's view of what is on now: the mark of the programme on air
// in the table, 现在 and 正在播出.
#include <QAction>
#include <QListWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include "gui/U_FrmMain.h"
#include "gui/U_FrmOnAir.h"
#include "gui/U_MainFunGuiOnAirMark.h"
#include "ui_U_FrmMain.h"

namespace {

// The mark moves within this time of a programme's start.
constexpr int OnAirCheckMs = 10 * 1000;
constexpr int StatusMessageMs = 10 * 1000;
const char* const NothingOnAir = "本台现在没有节目";

} // namespace

void TFrmMain::SetUpOnAir() {
    nowItem = new QAction("现在", this);
    nowItem->setObjectName("TBXItemNow");
    nowItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    nowItem->setToolTip("现在播出的节目 (Ctrl+J)");
    onAirItem = new QAction("正在播出", this);
    onAirItem->setObjectName("TBXItemOnAir");
    onAirItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    onAirItem->setToolTip("各电视台正在播出的节目 (Ctrl+G)");
    ui->TBXToolbar2->addAction(nowItem);
    ui->TBXToolbar2->addAction(onAirItem);
    connect(nowItem, &QAction::triggered, this, [this] { TBXItemNowClick(); });
    connect(onAirItem, &QAction::triggered, this, [this] { TBXItemOnAirClick(); });

    ui->lvSchedules->setItemDelegate(new TOnAirMarkDelegate(ui->lvSchedules));
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        TProgrammeStartReader reader;
        onAirStarts.clear();
        for (int i = 0; i < model->rowCount(); ++i)
            onAirStarts.push_back(reader.NextMinute(model->Row(i).Date, model->Row(i).Time));
        OnAirTimerTimer();
    });
    onAirTimer = new QTimer(this);
    connect(onAirTimer, &QTimer::timeout, this, &TFrmMain::OnAirTimerTimer);
    onAirTimer->start(OnAirCheckMs);
}

void TFrmMain::OnAirTimerTimer() {
    model->SetOnAirRow(OnAirAt(onAirStarts, StartMinute(Clock())).Current);
}

bool TFrmMain::SelectOnAir() {
    const QDateTime now = Clock();
    const int row = OnAirAt(onAirStarts, StartMinute(now)).Current;
    model->SetOnAirRow(row);
    if (row < 0) return false;
    // Today's tab first: its own jump would otherwise come after this one.
    ui->TabSet1->setCurrentIndex(now.date().dayOfWeek() - 1);
    const QModelIndex index = model->index(row, 0);
    ui->lvSchedules->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    ui->lvSchedules->scrollTo(index, QAbstractItemView::EnsureVisible);
    return true;
}

void TFrmMain::TBXItemNowClick() {
    Guarded([&] {
        if (!SelectOnAir()) ui->TBXStatusBar1->showMessage(NothingOnAir, StatusMessageMs);
    });
}

void TFrmMain::TBXItemOnAirClick() {
    Guarded([&] {
        if (!schedule || !schedule->HasFile()) return;
        TFrmOnAir view(this, *schedule, ui->lbTvSets, ui->lbPos, [this] { return Clock(); });
        if (view.exec() != QDialog::Accepted || view.ChosenStation() < 0) return;
        ShowStationAtNow(view.ChosenStation());
    });
}
