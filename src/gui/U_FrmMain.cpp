#include "gui/U_FrmMain.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <filesystem>

#include "gui/U_FrmAbout.h"
#include "gui/U_FrmMainControls.h"
#include "gui/U_FrmMainFreshness.h"
#include "gui/U_FrmMainExport.h"
#include "gui/U_FrmSearch.h"
#include "gui/U_FrmUpdate.h"
#include "gui/U_MainFunGuiFilter.h"
#include "gui/U_MainFunGuiFit.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunFolder.h"
#include "ui_U_FrmMain.h"

namespace {

const char* const Weekdays[] = {"星期一", "星期二", "星期三", "星期四",
                                "星期五", "星期六", "星期日"};
constexpr int LeftPanelWidth = 233;
constexpr int SplitterMinSize = 30; // the right side keeps this much; less on the left collapses it

// Sets a flag for as long as it lives.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag(flag) { flag = true; }
    ~TFlagScope() { flag = false; }

private:
    bool& flag;
};

} // namespace

TFrmMain::TFrmMain(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TFrmMain>()) {
    ui->setupUi(this);
    RunUpdateDialog = [this] {
        TFrmUpdate dialog(this); // destroyed in every case, also when exec throws
        return dialog.exec();
    };
    RunSearchDialog = [this] {
        TFrmSearch dialog(this, schedule.get(), ui->lbTvSets, ui->lbPos);
        dialog.exec();
    };
    SetUpControls();
    ConnectHandlers();
    SetUpOnAir();
    SetUpStationTools();
    new TFrmMainExport(this); // print, export and the calendar, for the station on show
    FormCreate();
}

TFrmMain::~TFrmMain() {
    FormDestroy();
}

QListWidget* TFrmMain::lbTvSets() const {
    return ui->lbTvSets;
}
QListWidget* TFrmMain::lbPos() const {
    return ui->lbPos;
}
QTableView* TFrmMain::lvSchedules() const {
    return ui->lvSchedules;
}
QLabel* TFrmMain::Panel4() const {
    return ui->Panel4;
}
QProgressBar* TFrmMain::Gauge1() const {
    return ui->Gauge1;
}
QTabBar* TFrmMain::TabSet1() const {
    return ui->TabSet1;
}

void TFrmMain::SetUpControls() {
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    ui->TBXSeparatorItem2->setSeparator(true);
    ui->mnuSettings->menuAction()->setVisible(false);
    ui->HeaderControl1->SetCaption("电  视  台");

    // The left panel may shrink to nothing; the right side keeps 30 pixels.
    ui->pnlLeft->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui->Panel3->setMinimumWidth(SplitterMinSize);
    ui->Splitter1->setCollapsible(1, false);
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    ui->Splitter1->setSizes({LeftPanelWidth, std::max(width() - LeftPanelWidth, SplitterMinSize)});

    ui->lbTvSets->setItemDelegate(new TStationItemDelegate(ui->lbTvSets));

    images = MakeFolderImages();
    model = new TScheduleTableModel(this);
    model->SetImages(images);
    model->SetFont(ui->lvSchedules->font());
    QTableView* table = ui->lvSchedules;
    table->setModel(model);
    table->setIconSize(QSize(16, 16));
    table->setColumnWidth(TScheduleTableModel::colDate, 100);
    table->setColumnWidth(TScheduleTableModel::colWeekday, 80);
    table->setColumnWidth(TScheduleTableModel::colTime, 80);
    table->horizontalHeader()->setSectionsClickable(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(19);
    KeepSelectionVisible(table);

    ui->TabSet1->setShape(QTabBar::RoundedSouth);
    ui->TabSet1->setExpanding(false);
    for (const char* day : Weekdays)
        ui->TabSet1->addTab(day);
    ui->TabSet1->setCurrentIndex(0);

    // The status bar's first panel, 210 wide, holds the gauge; the second is empty.
    auto* gaugePanel = new QWidget(ui->TBXStatusBar1);
    gaugePanel->setObjectName("GaugePanel");
    gaugePanel->setFixedWidth(210);
    auto* gaugeLayout = new QHBoxLayout(gaugePanel);
    gaugeLayout->setContentsMargins(0, 2, 0, 2);
    gaugeLayout->addWidget(ui->Gauge1);
    ui->TBXStatusBar1->addWidget(gaugePanel);
    freshness = new QLabel(ui->TBXStatusBar1);
    freshness->setObjectName("FreshnessPanel");
    ui->TBXStatusBar1->addWidget(freshness, 1);
    ui->Gauge1->hide();
    FitToText(this);
}

void TFrmMain::ConnectHandlers() {
    connect(ui->lbTvSets, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selectingInCode) lbTvSetsClick();
    });
    connect(ui->TBXItem1, &QAction::triggered, this, [this] { TBXItem7Click(); });
    connect(ui->TBXItem7, &QAction::triggered, this, [this] { TBXItem7Click(); });
    connect(ui->TBXItem8, &QAction::triggered, this, [this] { TBXItem8Click(); });
    connect(ui->TBXItem5, &QAction::triggered, this, [this] { TBXItem5Click(); });
    connect(ui->TBXItem4, &QAction::triggered, this, [this] { TBXItem4Click(); });
    connect(ui->TabSet1, &QTabBar::currentChanged, this, [this](int i) { TabSet1Change(i); });
    connect(ui->lvSchedules->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrmMain::lvSchedulesSelectItem);
    // A new station's rows are shown from the top.
    connect(model, &QAbstractItemModel::modelReset, ui->lvSchedules, &QTableView::scrollToTop);
    connect(ui->Splitter1, &QSplitter::splitterMoved, this, [this](int pos, int) {
        if (pos > 0 && pos <= SplitterMinSize)
            ui->Splitter1->setSizes(
                {0, ui->Splitter1->sizes().value(0) + ui->Splitter1->sizes().value(1)});
    });
}

void TFrmMain::Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        QMessageBox::critical(this, windowTitle(), QString::fromUtf8(error.what()));
    } catch (...) {
        // Nothing may cross the event loop; a failure without a text still ends the command.
        QMessageBox::critical(this, windowTitle(), "操作失败");
    }
}

void TFrmMain::FormCreate() {
    // Nothing is reported here: a missing file leaves an object without one.
    schedule = std::make_unique<TScheduleObject>(ScheduleFilePath(), TScheduleObject::fmOpen);
}

void TFrmMain::FormShow() {
    Guarded([&] {
        std::error_code error;
        if (std::filesystem::is_regular_file(ScheduleFilePath(), error)) {
            TFlagScope quiet(selectingInCode);
            LoadStationList(*schedule, ui->lbTvSets, ui->lbPos);
            ShowFreshness();
            ArrangeStationList();
            return;
        }
        QMessageBox box(QMessageBox::NoIcon, "提示", "第一次使用时候，请进行节目更新",
                        QMessageBox::Ok, this);
        box.exec();
    });
}

void TFrmMain::FormDestroy() {
    schedule.reset();
}

void TFrmMain::lbTvSetsClick() {
    Guarded([&] {
        if (!schedule || SelectedIndex(ui->lbTvSets) < 0) return;
        ShowSelectedStation();
    });
}

void TFrmMain::ShowSelectedStation() {
    ui->Gauge1->show();
    struct HideGauge {
        QProgressBar* gauge;
        ~HideGauge() { gauge->hide(); }
    } hide{ui->Gauge1};
    ShowStation(*schedule, ui->lbTvSets, ui->lbPos, ui->Gauge1, ui->Panel4, model);
    ShowFreshness();
}

void TFrmMain::ShowFreshness() {
    freshness->setText(schedule && schedule->HasFile()
                           ? FreshnessText(schedule->Header.BuildTime, LastDateOnShow(*model),
                                           QDate::currentDate())
                           : QString());
}

void TFrmMain::ClearStation() {
    {
        TFlagScope quiet(selectingInCode);
        ui->lbPos->clear();
        ui->lbTvSets->clear();
    }
    model->SetRows({});
    ui->Panel4->setText(StationCaption);
    ShowFreshness();
}

void TFrmMain::TBXItem7Click() {
    Guarded([&] {
        // The update rewrites lastsch.sch, which this object holds without sharing.
        schedule.reset();
        int result = 0;
        try {
            result = RunUpdateDialog ? RunUpdateDialog() : 0;
        } catch (...) {
            ClearStation(); // nothing may read through the missing object
            throw;
        }
        if (result != 1) return ClearStation();
        schedule = std::make_unique<TScheduleObject>(ScheduleFilePath(), TScheduleObject::fmOpen);
        {
            TFlagScope quiet(selectingInCode);
            LoadStationList(*schedule, ui->lbTvSets, ui->lbPos);
            stationFilterField->clear(); // a new list is shown whole
            ArrangeStationList();
            if (ui->lbTvSets->count() > 0) ui->lbTvSets->setCurrentRow(0);
        }
        if (SelectedIndex(ui->lbTvSets) >= 0) {
            ShowSelectedStation();
        } else {
            model->SetRows({});
            ui->Panel4->setText(StationCaption);
        }
    });
}

void TFrmMain::TBXItem8Click() {
    Guarded([&] {
        if (RunSearchDialog) RunSearchDialog();
    });
}

void TFrmMain::TBXItem5Click() {
    Guarded([&] {
        TFrmAbout about(this);
        about.exec();
    });
}

void TFrmMain::TBXItem4Click() {
    close();
}

void TFrmMain::lvSchedulesSelectItem(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    for (const QModelIndex& index : deselected.indexes())
        if (index.column() == 0) model->SetImageIndex(index.row(), 0);
    for (const QModelIndex& index : selected.indexes())
        if (index.column() == 0) model->SetImageIndex(index.row(), 1);
}

void TFrmMain::TabSet1Change(int index) {
    Guarded([&] { JumpToWeekday(ui->TabSet1->tabText(index)); });
}

void TFrmMain::JumpToWeekday(const QString& dayText) {
    if (model->rowCount() == 0) return;
    bool encoded = false;
    const std::string day = platform::QStringToGbk(dayText, &encoded);
    if (!encoded) return; // a text GBK cannot hold matches no row
    const int row = model->FirstRowOfWeekday(day);
    if (row < 0) return;
    const QModelIndex index = model->index(row, 0);
    // Selecting leaves the current (keyboard focus) row where it is.
    ui->lvSchedules->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    ui->lvSchedules->scrollTo(index, QAbstractItemView::EnsureVisible);
}
