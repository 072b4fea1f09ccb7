// What is on now in the main window: the mark of the row on air, 现在 and the
// 正在播出 view.
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include "OnAirFixture.h"
#include "gui/U_FrmOnAir.h"
#include "gui/U_MainFunGuiOnAirMark.h"
#include "ui_U_FrmMain.h"

namespace {

class OnAirMark : public OnAirTest {
protected:
    void SetUp() override {
        BuildStations();
        Start();
        Click("湖南卫视");
        table = form->lvSchedules();
    }
    // Rows whose every cell is marked; a row marked in part fails the test.
    std::vector<int> MarkedRows() const {
        std::vector<int> rows;
        const QAbstractItemModel* m = table->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            int cells = 0;
            for (int c = 0; c < m->columnCount(); ++c)
                cells += m->index(r, c).data(OnAirRole).toBool();
            EXPECT_TRUE(cells == 0 || cells == m->columnCount()) << r;
            if (cells > 0) rows.push_back(r);
        }
        return rows;
    }
    // The pixel a few points into a row's caption cell, at x.
    QColor PixelOfRow(int row, int x) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        return table->viewport()->grab().toImage().pixelColor(cell.left() + x, cell.center().y());
    }
    void ClickNow() {
        QWidget* button = form->Controls()->TBXToolbar2->widgetForAction(form->TBXItemNow());
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    std::vector<int> SelectedRows() const {
        std::vector<int> rows;
        for (const QModelIndex& index : table->selectionModel()->selectedRows())
            rows.push_back(index.row());
        return rows;
    }
    QTableView* table = nullptr;
};

TEST_F(OnAirMark, TheRowOnAirIsDrawnMarkedAndItsTextsStay) {
    ASSERT_EQ(MarkedRows(), std::vector<int>{4});
    const QColor rowColour = ColorValue(16573402); // 星期二
    EXPECT_EQ(PixelOfRow(4, 1), OnAirMarkColor);
    EXPECT_EQ(PixelOfRow(3, 1), rowColour);
    EXPECT_EQ(PixelOfRow(5, 1), rowColour);
    // Above and below the row's texts, across the title column too.
    const QRect title = table->visualRect(table->model()->index(4, 3));
    const QImage image = table->viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(title.center().x(), title.top()), OnAirMarkColor);
    EXPECT_EQ(image.pixelColor(title.center().x(), title.bottom()), OnAirMarkColor);
    EXPECT_EQ(table->model()->index(4, 3).data().toString(), "快乐4");
    EXPECT_EQ(table->model()->index(4, 2).data().toString(), "09:00");
}

TEST_F(OnAirMark, TheMarkMovesWithTheClockOnItsOwn) {
    EXPECT_TRUE(form->OnAirTimer()->isActive());
    EXPECT_LE(form->OnAirTimer()->interval(), 60 * 1000);
    SetClock("2026-12-08 09:45");
    form->OnAirTimerTimer();
    EXPECT_EQ(MarkedRows(), std::vector<int>{5});
    SetClock("2026-12-09 00:10"); // past midnight, under the day before
    form->OnAirTimerTimer();
    EXPECT_EQ(MarkedRows(), std::vector<int>{24});
    SetClock("2026-12-09 03:00"); // after the last row's two hours
    form->OnAirTimerTimer();
    EXPECT_EQ(MarkedRows(), std::vector<int>{});
}

TEST_F(OnAirMark, NowSelectsTheRowOnAirOnTodaysTab) {
    form->TabSet1()->setCurrentIndex(5);
    SetClock("2026-12-08 23:20");
    ClickNow();
    EXPECT_EQ(form->TabSet1()->currentIndex(), 1); // 星期二
    EXPECT_EQ(SelectedRows(), std::vector<int>{23});
    const QRect cell = table->visualRect(table->model()->index(23, 0));
    EXPECT_TRUE(cell.top() >= 0 && cell.bottom() < table->viewport()->height());
    EXPECT_EQ(MarkedRows(), std::vector<int>{23});

    SetClock("2026-12-08 06:50"); // by the keyboard
    QTest::keyClick(form.get(), Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
}

TEST_F(OnAirMark, NowWithNothingOnAirSaysSo) {
    Click("空台");
    ClickNow();
    EXPECT_EQ(form->statusBar()->currentMessage(), "本台现在没有节目");
    Click("CCTV-1");
    SetClock("2026-12-08 05:00");
    ClickNow();
    EXPECT_EQ(form->statusBar()->currentMessage(), "本台现在没有节目");
    EXPECT_EQ(SelectedRows(), std::vector<int>{});
}

// 正在播出 lists every station, in the list's order, with what is on and next;
// the filter narrows it; Enter on a row shows that station at the row on air.
TEST_F(OnAirMark, TheViewListsEveryStationAndShowsTheOneChosen) {
    SetClock("2026-12-08 13:00"); // row 9 (12:45) on air, row 10 (13:30) next
    QStringList stations, nowTitles, nextStarts;
    int rowsBeforeFilter = 0, rowsAfterFilter = 0;
    QString filteredStation;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* view = qobject_cast<TFrmOnAir*>(modal);
        ASSERT_NE(view, nullptr);
        const QAbstractItemModel* rows = view->lvOnAir()->model();
        rowsBeforeFilter = rows->rowCount();
        for (int r = 0; r < rows->rowCount(); ++r) {
            stations << rows->index(r, TOnAirTableModel::colStation).data().toString();
            nowTitles << rows->index(r, TOnAirTableModel::colNowTitle).data().toString();
            nextStarts << rows->index(r, TOnAirTableModel::colNextStart).data().toString();
        }
        QTest::keyClicks(view->etFilter(), "hnws");
        rowsAfterFilter = rows->rowCount();
        filteredStation = rows->index(0, TOnAirTableModel::colStation).data().toString();
        QTest::keyClick(view->etFilter(), Qt::Key_Return);
    });
    QTest::keyClick(form.get(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(watcher.Count(), 1);
    EXPECT_EQ(stations, QStringList({"CCTV-1", "CCTV-5", "CCTV5+", "湖南卫视", "空台"}));
    EXPECT_EQ(nowTitles, QStringList({"综合9", "体育9", "赛事9", "快乐9", ""}));
    EXPECT_EQ(nextStarts, QStringList({"13:30", "13:30", "13:30", "13:30", ""}));
    EXPECT_EQ(rowsBeforeFilter, 5);
    EXPECT_EQ(rowsAfterFilter, 1);
    EXPECT_EQ(filteredStation, "湖南卫视");
    EXPECT_EQ(form->Panel4()->text(), "当前电视台：湖南卫视");
    EXPECT_EQ(SelectedRows(), std::vector<int>{9});
}

TEST_F(OnAirMark, TheViewFollowsTheClockAndTakesADoubleClick) {
    QString before, after;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* view = qobject_cast<TFrmOnAir*>(modal);
        ASSERT_NE(view, nullptr);
        const QAbstractItemModel* rows = view->lvOnAir()->model();
        before = rows->index(1, TOnAirTableModel::colNowTitle).data().toString();
        EXPECT_TRUE(view->RefreshTimer()->isActive());
        EXPECT_LE(view->RefreshTimer()->interval(), 60 * 1000);
        SetClock("2026-12-08 10:00");
        view->RefreshTimer()->setInterval(1); // the next tick now, as the clock has moved
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return rows->index(1, TOnAirTableModel::colNowTitle).data().toString() != before;
        }));
        after = rows->index(1, TOnAirTableModel::colNowTitle).data().toString();
        const QRect cell = view->lvOnAir()->visualRect(rows->index(1, 0));
        // A view takes a double-click on the row its press began on.
        QTest::mousePress(view->lvOnAir()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseRelease(view->lvOnAir()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->lvOnAir()->viewport(), Qt::LeftButton, {}, cell.center());
        if (view->isVisible()) view->reject();
    });
    QTest::mouseClick(form->Controls()->TBXToolbar2->widgetForAction(form->TBXItemOnAir()),
                      Qt::LeftButton);
    EXPECT_EQ(before, "体育4");
    EXPECT_EQ(after, "体育5");
    EXPECT_EQ(form->Panel4()->text(), "当前电视台：CCTV-5");
    EXPECT_EQ(SelectedRows(), std::vector<int>{5});
}

} // namespace
