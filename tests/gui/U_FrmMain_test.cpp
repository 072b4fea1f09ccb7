#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/U_FrmAbout.h"
#include "gui/U_FrmMain.h"
#include "ui_U_FrmMain.h"

namespace {

const QString Caption = "当前电视台：";

std::vector<std::pair<std::string, std::string>> ThreeStations() {
    return {{"CCTV-1", StationText({"05/03/14 星期一", "08:00 新闻联播", "", "09:00 天气预报"})},
            {"湖南卫视", StationText({"05/03/15 星期二", "20:00 快乐大本营"})},
            {"Empty", ""}};
}

// A message box's caption, text and buttons as a test saw them.
struct SeenBox {
    QString title, text;
    int buttons = 0;
};

SeenBox AnswerBox(QWidget* modal) {
    SeenBox seen;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
        modal->close();
        return seen;
    }
    seen = {box->windowTitle(), box->text(), int(box->buttons().size())};
    box->buttons().first()->click();
    return seen;
}

class FrmMainTest : public GuiTest {
protected:
    // Shows the window and runs FormShow as the program does.
    void Start(TFrmMain& form) {
        form.show();
        form.FormShow();
    }

    void ClickStation(TFrmMain& form, int row) {
        QListWidget* list = form.lbTvSets();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    // The index as the window's own file object reads it (it holds the file).
    std::vector<TStationEntry> Index(TFrmMain& form) { return ReadStationIndex(*form.Schedule()); }

    int StationAt(TFrmMain& form, const std::string& gbkName) {
        auto index = Index(form);
        for (std::size_t i = 0; i < index.size(); ++i)
            if (index[i].Name == gbkName) return int(i);
        return -1;
    }
};

TEST_F(FrmMainTest, FirstStartWithoutFileAsksForAnUpdateAndShowsNothing) {
    TFrmMain form;
    EXPECT_EQ(form.windowTitle(), "Vimbrel");
    EXPECT_EQ(form.size(), QSize(634, 450));
    EXPECT_EQ(form.font().family(), "宋体");
    EXPECT_EQ(form.font().pointSize(), 9);
    std::vector<SeenBox> boxes;
    ModalWatcher watcher([&](QWidget* modal) { boxes.push_back(AnswerBox(modal)); });
    Start(form);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "提示");
    EXPECT_EQ(boxes[0].text, "第一次使用时候，请进行节目更新");
    EXPECT_EQ(boxes[0].buttons, 1);
    EXPECT_EQ(form.lbTvSets()->count(), 0);
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0);
    EXPECT_EQ(form.Panel4()->text(), Caption);
    EXPECT_FALSE(form.Gauge1()->isVisible());

    // A click into the empty list selects nothing and shows nothing.
    QTest::mouseClick(form.lbTvSets()->viewport(), Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_EQ(form.Panel4()->text(), Caption);
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0);
}

TEST_F(FrmMainTest, StartWithFileListsEveryStationAndSelectsNone) {
    Build(ThreeStations());
    TFrmMain form;
    ModalWatcher watcher(AnswerBox);
    Start(form);
    EXPECT_EQ(watcher.Count(), 0);
    auto index = Index(form);
    ASSERT_EQ(form.lbTvSets()->count(), 3);
    ASSERT_EQ(form.lbPos()->count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form.lbTvSets()->item(i)->text(), platform::GbkToQString(index[i].Name));
        EXPECT_EQ(form.lbPos()->item(i)->text(), QString::number(index[i].Offset));
    }
    EXPECT_FALSE(form.lbPos()->isVisible());
    EXPECT_EQ(SelectedIndex(form.lbTvSets()), -1);
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0);
    EXPECT_EQ(form.Panel4()->text(), Caption);
}

TEST_F(FrmMainTest, ClickShowsTheStationsRowsAndName) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    const int cctv = StationAt(form, "CCTV-1");
    ClickStation(form, cctv);
    EXPECT_EQ(form.Panel4()->text(), Caption + "CCTV-1");
    TScheduleTableModel* model = form.lvSchedulesModel();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), "2005-03-14");
    EXPECT_EQ(model->data(model->index(0, 1)).toString(), "星期一");
    EXPECT_EQ(model->data(model->index(0, 2)).toString(), "08:00");
    EXPECT_EQ(model->data(model->index(0, 3)).toString(), "新闻联播");
    EXPECT_EQ(model->data(model->index(1, 3)).toString(), "天气预报");
    EXPECT_FALSE(form.Gauge1()->isVisible());

    // A station without programme lines: its name and an empty table.
    ClickStation(form, StationAt(form, "Empty"));
    EXPECT_EQ(form.Panel4()->text(), Caption + "Empty");
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(FrmMainTest, ArrowKeysShowEachStationInTurnAsAClickDoes) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    auto index = Index(form);
    ClickStation(form, 0);
    for (int row : {1, 2, 1, 0}) {
        QTest::keyClick(form.lbTvSets(),
                        row > SelectedIndex(form.lbTvSets()) ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_EQ(SelectedIndex(form.lbTvSets()), row);
        EXPECT_EQ(form.Panel4()->text(), Caption + platform::GbkToQString(index[row].Name));
    }
}

TEST_F(FrmMainTest, GaugeIsVisibleOnlyWhileRowsFillAndRunsThroughEveryLine) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    std::vector<int> positions;
    bool hiddenDuringFill = false;
    QObject::connect(form.Gauge1(), &QProgressBar::valueChanged, [&](int value) {
        positions.push_back(value);
        hiddenDuringFill = hiddenDuringFill || !form.Gauge1()->isVisible();
    });
    ClickStation(form, StationAt(form, "CCTV-1"));
    // Four lines: the date line, two programmes and the blank line between.
    EXPECT_EQ(form.Gauge1()->maximum(), 4);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_FALSE(hiddenDuringFill);
    EXPECT_FALSE(form.Gauge1()->isVisible());

    // No lines: the maximum is 0 and the gauge reads 0%.
    ClickStation(form, StationAt(form, "Empty"));
    EXPECT_EQ(form.Gauge1()->maximum(), 0);
    EXPECT_EQ(form.Gauge1()->text(), "0%");
}

TEST_F(FrmMainTest, DamagedRecordShowsAnEmptyTable) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    ClickStation(form, StationAt(form, "CCTV-1"));
    ASSERT_EQ(form.lvSchedulesModel()->rowCount(), 2);
    // An offset past the end of the file, then one that is no number at all.
    const int other = StationAt(form, Gbk("湖南卫视"));
    for (const char* offset : {"99999999", "x"}) {
        form.lbPos()->item(other)->setText(offset);
        form.lbTvSets()->clearSelection();
        ClickStation(form, other);
        EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0) << offset;
        EXPECT_EQ(form.Panel4()->text(), Caption) << offset;
    }
}

class UpdateCommandTest : public FrmMainTest, public ::testing::WithParamInterface<bool> {
protected:
    QAction* Command(TFrmMain& form) {
        return GetParam() ? form.Controls()->TBXItem1 : form.Controls()->TBXItem7;
    }
};

TEST_P(UpdateCommandTest, ResultOneReopensTheFileAndShowsStationZero) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    bool fileWasFree = false;
    form.RunUpdateDialog = [&] {
        // The window has let go of lastsch.sch: a rebuild can replace it.
        fileWasFree = form.Schedule() == nullptr;
        Build({{"A", StationText({"05/03/16 星期三", "07:00 早间新闻", "07:30 体育"})},
               {"B", StationText({"10:00 午间"})}});
        return 1;
    };
    int fills = 0;
    std::vector<bool> gaugeShown;
    QObject::connect(form.lvSchedulesModel(), &QAbstractItemModel::modelReset, [&] { ++fills; });
    QObject::connect(form.Gauge1(), &QProgressBar::valueChanged,
                     [&](int) { gaugeShown.push_back(form.Gauge1()->isVisible()); });
    Command(form)->trigger();

    EXPECT_TRUE(fileWasFree);
    ASSERT_NE(form.Schedule(), nullptr);
    EXPECT_TRUE(form.Schedule()->HasFile());
    auto index = Index(form);
    ASSERT_EQ(form.lbTvSets()->count(), 2);
    EXPECT_EQ(SelectedIndex(form.lbTvSets()), 0);
    EXPECT_EQ(form.Panel4()->text(), Caption + platform::GbkToQString(index[0].Name));
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), index[0].Name == "A" ? 2 : 1);
    EXPECT_EQ(fills, 1); // shown once, not again through a selection event
    EXPECT_FALSE(gaugeShown.empty());
    EXPECT_EQ(std::count(gaugeShown.begin(), gaugeShown.end(), false), 0);
    EXPECT_FALSE(form.Gauge1()->isVisible());
}

TEST_P(UpdateCommandTest, UpdateLeavingNoStationsShowsNone) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    ClickStation(form, StationAt(form, "CCTV-1"));
    form.RunUpdateDialog = [&] {
        Build({});
        return 1;
    };
    Command(form)->trigger();
    EXPECT_EQ(form.lbTvSets()->count(), 0);
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0);
    EXPECT_EQ(form.Panel4()->text(), Caption);
}

TEST_P(UpdateCommandTest, OtherResultReadsNothingAndLetsTheFileGo) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    ClickStation(form, StationAt(form, "CCTV-1"));
    form.RunUpdateDialog = [] { return 0; };
    Command(form)->trigger();
    EXPECT_EQ(form.Schedule(), nullptr);
    EXPECT_EQ(form.lbTvSets()->count(), 0);
    EXPECT_EQ(form.lbPos()->count(), 0);
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0);
    EXPECT_EQ(form.Panel4()->text(), Caption);
    TScheduleObject other(ScheduleFilePath(), TScheduleObject::fmOpen);
    EXPECT_TRUE(other.HasFile()); // nobody holds it any more
}

TEST_P(UpdateCommandTest, FailureIsShownInAMessageBoxAndEndsTheCommand) {
    Build(ThreeStations());
    TFrmMain form;
    Start(form);
    form.RunUpdateDialog = []() -> int { throw EScheduleError("无法创建文件"); };
    std::vector<SeenBox> boxes;
    ModalWatcher watcher([&](QWidget* modal) { boxes.push_back(AnswerBox(modal)); });
    Command(form)->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "无法创建文件");
    EXPECT_EQ(form.lbTvSets()->count(), 0);
    // The list is empty, so nothing can ask the missing object for a station.
    QTest::mouseClick(form.lbTvSets()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_EQ(form.lvSchedulesModel()->rowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(MenuAndToolBar, UpdateCommandTest, ::testing::Bool());

TEST_F(FrmMainTest, SearchCommandRunsTheSearchDialog) {
    TFrmMain form;
    int runs = 0;
    form.RunSearchDialog = [&] { ++runs; };
    form.Controls()->TBXItem8->trigger();
    EXPECT_EQ(runs, 1);
    form.RunSearchDialog = nullptr;
    form.Controls()->TBXItem8->trigger(); // nothing to run: nothing happens
    EXPECT_EQ(runs, 1);
}

TEST_F(FrmMainTest, AboutCommandRunsTheAboutBoxModally) {
    TFrmMain form;
    form.show();
    QString seen;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* about = qobject_cast<TFrmAbout*>(modal);
        seen = modal->windowTitle();
        if (about)
            about->findChild<QPushButton*>("btnOK")->click();
        else
            modal->close();
    });
    form.Controls()->TBXItem5->trigger();
    EXPECT_EQ(seen, "关于Vimbrel");
}

TEST_F(FrmMainTest, ExitCommandClosesTheWindow) {
    TFrmMain form;
    form.show();
    ASSERT_TRUE(form.isVisible());
    form.Controls()->TBXItem4->trigger();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(FrmMainTest, MenusHoldTheCommandsAndTheHiddenEntries) {
    TFrmMain form;
    Ui::TFrmMain* ui = form.Controls();
    EXPECT_EQ(ui->TBXToolbar1->windowTitle(), "菜单栏");
    struct Entry {
        QAction* action;
        const char* text;
        bool visible;
    };
    for (const Entry& e : std::vector<Entry>{{ui->TBXItem1, "更新界面时间表", true},
                                             {ui->TBXItem2, "时间表管理", false},
                                             {ui->TBXItem3, "打印预览时间表", true},
                                             {ui->TBXExportItem, "导出本台节目…", true},
                                             {ui->TBXItem4, "退出系统", true},
                                             {ui->TBXItem5, "关于本软件", true},
                                             {ui->TBXItem6, "帮助", false},
                                             {ui->TBXItem7, "更新节目表", true},
                                             {ui->TBXItem8, "查找节目", true}}) {
        EXPECT_EQ(e.action->text(), e.text);
        EXPECT_EQ(e.action->isVisible(), e.visible) << e.text;
    }
    EXPECT_TRUE(ui->TBXSeparatorItem2->isSeparator());
    EXPECT_FALSE(ui->TBXSeparatorItem2->isVisible());
    EXPECT_EQ(ui->mnuSchedule->title(), "节目时间表");
    EXPECT_EQ(ui->mnuSettings->title(), "系统设置");
    EXPECT_FALSE(ui->mnuSettings->menuAction()->isVisible());
    EXPECT_TRUE(ui->mnuHelp->actions().contains(ui->TBXItem5));
    EXPECT_TRUE(ui->mnuSchedule->actions().contains(ui->TBXItem1));
    EXPECT_TRUE(ui->TBXToolbar2->actions().contains(ui->TBXItem7));
    EXPECT_TRUE(ui->TBXToolbar2->actions().contains(ui->TBXItem8));
}

TEST_F(FrmMainTest, ControlsHaveTheirSizesAndCaptions) {
    TFrmMain form;
    form.show();
    Ui::TFrmMain* ui = form.Controls();
    EXPECT_EQ(ui->pnlLeft->width(), 233);
    // Bars of a designed height grow only when their text needs more.
    auto designed = [](QWidget* bar, int height) {
        return std::max(height, bar->sizeHint().height());
    };
    EXPECT_EQ(ui->Panel4->height(), designed(ui->Panel4, 25));
    EXPECT_TRUE(ui->Panel4->font().bold());
    EXPECT_EQ(ui->Panel4->alignment(), Qt::AlignCenter);
    EXPECT_EQ(ui->TabSet1->height(), designed(ui->TabSet1, 21));
    EXPECT_EQ(ui->TBXStatusBar1->height(), designed(ui->TBXStatusBar1, 25));
    EXPECT_EQ(ui->Gauge1->parentWidget()->width(), 210);
    EXPECT_EQ(ui->TopDock->height(), designed(ui->TopDock, 44));
    EXPECT_EQ(ui->HeaderControl1->model()->headerData(0, Qt::Horizontal).toString(), "电  视  台");
    EXPECT_FALSE(ui->HeaderControl1->sectionsClickable());
    EXPECT_EQ(ui->Splitter1->handleWidth(), 2);

    QTabBar* tabs = form.TabSet1();
    ASSERT_EQ(tabs->count(), 7);
    const char* days[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(tabs->tabText(i), days[i]);
    EXPECT_EQ(tabs->currentIndex(), 0);

    QTableView* table = form.lvSchedules();
    const char* captions[] = {"日期", "星期", "时间", "节目"};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(table->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
    EXPECT_EQ(table->columnWidth(0), 100);
    EXPECT_EQ(table->columnWidth(1), 80);
    EXPECT_EQ(table->columnWidth(2), 80);
    EXPECT_EQ(table->columnViewportPosition(3) + table->columnWidth(3), table->viewport()->width());
    EXPECT_TRUE(table->showGrid());
    EXPECT_FALSE(table->horizontalHeader()->sectionsClickable());
    EXPECT_FALSE(table->verticalHeader()->isVisible());
    EXPECT_EQ(table->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(table->palette().color(QPalette::Inactive, QPalette::Highlight),
              table->palette().color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(form.lbTvSets()->frameShape(), QFrame::NoFrame);
}

TEST_F(FrmMainTest, SplitterCollapsesTheLeftPanelWhenDraggedToThirtyPixelsOrLess) {
    TFrmMain form;
    form.show();
    QSplitter* splitter = form.Controls()->Splitter1;
    QWidget* handle = splitter->handle(1);
    auto drag = [&](int toX) {
        const QPoint start = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, start);
        QTest::mouseMove(handle, start + QPoint(toX - handle->x(), 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(toX - handle->x(), 0));
    };
    drag(100);
    EXPECT_EQ(splitter->sizes().value(0), 100);
    drag(31);
    EXPECT_EQ(splitter->sizes().value(0), 31);
    drag(30);
    EXPECT_EQ(splitter->sizes().value(0), 0);
    // The right side always keeps 30 pixels.
    drag(100);
    drag(splitter->width());
    EXPECT_GE(splitter->sizes().value(1), 30);
}

} // namespace
