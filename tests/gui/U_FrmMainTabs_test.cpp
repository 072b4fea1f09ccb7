// The weekday tabs: choosing one selects that day's first row and scrolls it
// fully into view.
#include <QLabel>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/U_FrmMain.h"

namespace {

const char* const Days[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};

// A week of 30 programmes a day; days can be left out or given another text.
std::string Week(int perDay, const std::vector<int>& days,
                 const std::map<int, std::string>& replaced = {}) {
    std::vector<std::string> lines;
    for (int d : days) {
        const std::string day = replaced.count(d) ? replaced.at(d) : Days[d];
        lines.push_back("05/03/" + std::to_string(14 + d) + " " + day);
        for (int p = 0; p < perDay; ++p)
            lines.push_back(QString("%1:%2 节目%3")
                                .arg(6 + p / 2, 2, 10, QChar('0'))
                                .arg(p % 2 * 30, 2, 10, QChar('0'))
                                .arg(p)
                                .toStdString());
    }
    std::vector<const char*> raw;
    for (const std::string& line : lines)
        raw.push_back(line.c_str());
    return StationText(raw);
}

class WeekdayTabTest : public GuiTest {
protected:
    void SetUp() override {
        Build({{"Full", Week(30, {0, 1, 2, 3, 4, 5, 6})},
               {"NoFriday", Week(30, {0, 1, 2, 3, 5, 6}, {{3, "星期四 (节假日)"}})},
               {"Ascii", Week(3, {0, 4}, {{4, "FRIDAY星期"}})}});
        form = std::make_unique<TFrmMain>();
        form->show();
        form->FormShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        table = form->lvSchedules();
        tabs = form->TabSet1();
    }
    void ShowStation(const QString& name) {
        QListWidget* list = form->lbTvSets();
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == name)
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualItemRect(list->item(i)).center());
        ASSERT_EQ(form->Panel4()->text(), "当前电视台：" + name);
    }
    void ChooseTab(int index) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    }
    void ClickRow(int row) {
        table->scrollTo(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, 1)).center());
    }
    std::vector<int> SelectedRows() {
        std::vector<int> rows;
        for (const QModelIndex& index : table->selectionModel()->selectedRows())
            rows.push_back(index.row());
        return rows;
    }
    bool FullyVisible(int row) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        return cell.top() >= 0 && cell.bottom() < table->viewport()->height();
    }
    int Scroll() { return table->verticalScrollBar()->value(); }

    std::unique_ptr<TFrmMain> form;
    QTableView* table = nullptr;
    QTabBar* tabs = nullptr;
};

TEST_F(WeekdayTabTest, ChoosingADaySelectsItsFirstRowAndScrollsItFullyIntoView) {
    ShowStation("Full");
    ClickRow(0);
    ASSERT_FALSE(FullyVisible(62));
    // Rows: the date line gives none, so day d starts at row 30 * d.
    for (int day : {2, 1, 6, 3, 0}) {
        ChooseTab(day);
        ASSERT_EQ(tabs->currentIndex(), day);
        EXPECT_EQ(SelectedRows(), std::vector<int>{30 * day}) << Days[day];
        EXPECT_TRUE(FullyVisible(30 * day)) << Days[day];
        EXPECT_EQ(table->currentIndex().row(), 0); // the focus row stays where it was
        table->verticalScrollBar()->setValue(day % 2 ? 0 : table->verticalScrollBar()->maximum());
    }
}

TEST_F(WeekdayTabTest, ChoosingTheCurrentTabDoesNothing) {
    ShowStation("Full");
    ChooseTab(2);
    ClickRow(100);
    const int scroll = Scroll();
    ChooseTab(2);
    EXPECT_EQ(SelectedRows(), std::vector<int>{100});
    EXPECT_EQ(Scroll(), scroll);
}

TEST_F(WeekdayTabTest, DayWithoutRowsOrWithTextAfterItsNameChangesNothing) {
    ShowStation("NoFriday");
    ClickRow(40);
    table->verticalScrollBar()->setValue(17);
    for (int day : {4, 3}) { // no 星期五; 星期四 carries more text
        ChooseTab(day);
        EXPECT_EQ(SelectedRows(), std::vector<int>{40}) << Days[day];
        EXPECT_EQ(Scroll(), 17) << Days[day];
    }
    ChooseTab(5);
    EXPECT_EQ(SelectedRows(), std::vector<int>{120});
}

TEST_F(WeekdayTabTest, EmptyTableIgnoresTheTabs) {
    ASSERT_EQ(table->model()->rowCount(), 0);
    ChooseTab(3);
    EXPECT_EQ(tabs->currentIndex(), 3);
    EXPECT_TRUE(SelectedRows().empty());
}

TEST_F(WeekdayTabTest, TabIsKeptAcrossStationsWithoutAJump) {
    ShowStation("Full");
    ChooseTab(2);
    ShowStation("NoFriday");
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_TRUE(SelectedRows().empty());
    EXPECT_EQ(Scroll(), 0);
}

TEST_F(WeekdayTabTest, OnlyAsciiLettersAreLowerCasedAndTheWholeTextMustMatch) {
    ShowStation("Ascii");
    form->JumpToWeekday("friday星期");
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});
    table->clearSelection();
    for (const char* text : {"friday", "FRIDAY星", "星期", ""}) {
        form->JumpToWeekday(text);
        EXPECT_TRUE(SelectedRows().empty()) << text;
    }
    form->JumpToWeekday("星期一");
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
}

} // namespace
