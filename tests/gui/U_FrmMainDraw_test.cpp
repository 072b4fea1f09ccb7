// How the main window paints its station list and its schedule rows, checked
// on the pixels of the real widgets (Fusion style).
#include <QLabel>
#include <QTableView>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/U_FrmMain.h"

namespace {

const QColor Start(218, 227, 252), End(179, 186, 249), Green(227, 254, 226), White(255, 255, 255),
    Black(0, 0, 0);

QColor GradientAt(int x, int R) {
    return QColor(218 - (218 - 179) * x / R, 227 - (227 - 186) * x / R, 252 - (252 - 249) * x / R);
}

// Pixels of a rectangle that differ from a colour.
int Ink(const QImage& image, const QRect& area, const QColor& background) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) != background;
    return count;
}

class StationListDrawTest : public GuiTest {
protected:
    void SetUp() override {
        std::vector<std::pair<std::string, std::string>> stations;
        for (int i = 0; i < 10; ++i)
            stations.push_back({"S" + std::to_string(i), ""});
        stations.push_back({"A&B", ""});
        stations.push_back({"AB", ""});
        Build(stations);
        form = std::make_unique<TFrmMain>();
        form->show();
        form->FormShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        list = form->lbTvSets();
        form->lvSchedules()->setFocus();
    }
    void Click(int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
        // Paint without the keyboard focus, whose frame the style draws over the entry.
        form->lvSchedules()->setFocus();
    }
    int Row(const QString& name) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == name) return i;
        return -1;
    }
    QImage Grab() {
        QImage image = list->viewport()->grab().toImage();
        if (qEnvironmentVariableIsSet("VIMBREL_TEST_IMAGES")) image.save("/tmp/stationlist.png");
        return image;
    }
    int Top(int row) { return list->visualItemRect(list->item(row)).top(); }
    int R() { return list->viewport()->width(); }

    std::unique_ptr<TFrmMain> form;
    QListWidget* list = nullptr;
};

TEST_F(StationListDrawTest, EntriesAre23PixelsHighAcrossTheListsWidth) {
    ASSERT_EQ(list->count(), 12);
    EXPECT_EQ(R(), 233);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(list->visualItemRect(list->item(row)).height(), 23);
        EXPECT_EQ(Top(row), 23 * row);
    }
}

TEST_F(StationListDrawTest, SelectedEntryRunsFromTheStartColourByTheIntegerRule) {
    Click(3);
    const QImage image = Grab();
    const int T = Top(3);
    EXPECT_EQ(image.pixelColor(0, T + 1), Start);
    EXPECT_EQ(image.pixelColor(0, T + 22), Start);
    for (int x : {1, 5, 29, 30, 100, 116, 117, 200, R() - 1}) {
        EXPECT_EQ(image.pixelColor(x, T + 1), GradientAt(x, R())) << x;
        EXPECT_EQ(image.pixelColor(x, T), GradientAt(x, R())) << x;
    }
    // The box: black outline, end colour inside, exactly 25 x 16.
    for (QPoint corner : {QPoint(2, 4), QPoint(26, 4), QPoint(2, 19), QPoint(26, 19)})
        EXPECT_EQ(image.pixelColor(corner + QPoint(0, T)), Black) << corner.x() << corner.y();
    EXPECT_EQ(image.pixelColor(3, T + 5), End);
    EXPECT_EQ(image.pixelColor(25, T + 18), End);
    EXPECT_EQ(image.pixelColor(27, T + 4), GradientAt(27, R()));
    EXPECT_EQ(image.pixelColor(2, T + 20), GradientAt(2, R()));
}

TEST_F(StationListDrawTest, UnselectedEntryIsWhiteWithAWhiteBox) {
    Click(3);
    const QImage image = Grab();
    const int T = Top(4);
    for (int x : {0, 1, 28, 116, R() - 1})
        EXPECT_EQ(image.pixelColor(x, T + 1), White) << x;
    for (QPoint corner : {QPoint(2, 4), QPoint(26, 4), QPoint(2, 19), QPoint(26, 19)})
        EXPECT_EQ(image.pixelColor(corner + QPoint(0, T)), Black);
    EXPECT_EQ(image.pixelColor(3, T + 5), White);
    EXPECT_EQ(image.pixelColor(27, T + 4), White);
}

TEST_F(StationListDrawTest, NumberIsBlueAndBoldOnlyWhenSelected) {
    const QRect inside(3, 5, 23, 14);
    const QImage before = Grab();
    const int T = Top(9);
    const int regular = Ink(before, inside.translated(0, T), White);
    bool blue = false;
    for (int y = T + 5; y < T + 19; ++y)
        for (int x = 3; x < 26; ++x) {
            const QColor c = before.pixelColor(x, y);
            blue = blue || (c.blue() > 200 && c.red() < 100 && c.green() < 100);
        }
    EXPECT_TRUE(blue);
    // The tenth entry shows 10: more ink than the first's 1.
    EXPECT_GT(regular, Ink(before, inside.translated(0, Top(0)), White));

    Click(9);
    const int bold = Ink(Grab(), inside.translated(0, T), End);
    EXPECT_GT(bold, regular);
}

TEST_F(StationListDrawTest, NameIsBlackAndAnAmpersandIsDrawnAsItself) {
    const QImage image = Grab();
    // The rightmost dark pixel of a name, from the name area's left edge.
    auto extent = [&](int row) {
        int right = -1;
        for (int y = Top(row); y < Top(row) + 23; ++y)
            for (int x = 30; x < R(); ++x)
                if (image.pixelColor(x, y).lightness() < 128) right = std::max(right, x);
        return right - 30;
    };
    const int withAmpersand = extent(Row("A&B")), without = extent(Row("AB"));
    ASSERT_GT(without, 0);
    const QFontMetrics metrics(list->font());
    EXPECT_GT(withAmpersand, without + metrics.horizontalAdvance('&') / 2);
    // Black text: dark grey where it is smoothed, never tinted.
    bool black = false;
    for (int y = Top(0); y < Top(0) + 23; ++y)
        for (int x = 30; x < R(); ++x) {
            const QColor c = image.pixelColor(x, y);
            black = black || (c.lightness() < 100 && c.red() == c.green() && c.green() == c.blue());
        }
    EXPECT_TRUE(black);
}

TEST_F(StationListDrawTest, MovingTheSelectionRepaintsBothEntries) {
    Click(1);
    Click(2);
    const QImage image = Grab();
    EXPECT_EQ(image.pixelColor(0, Top(1) + 1), White);
    EXPECT_EQ(image.pixelColor(3, Top(1) + 5), White);
    EXPECT_EQ(image.pixelColor(0, Top(2) + 1), Start);
    EXPECT_EQ(image.pixelColor(3, Top(2) + 5), End);
}

TEST_F(StationListDrawTest, KeyboardFocusAddsTheStylesFocusFrame) {
    Click(5);
    const QImage unfocused = Grab();
    QApplication::setActiveWindow(form.get());
    list->setFocus();
    if (!list->hasFocus()) GTEST_SKIP() << "this platform gives no window the focus";
    const QImage focused = Grab();
    EXPECT_GT(Ink(focused, QRect(0, Top(5), R(), 1), Start) +
                  Ink(focused, QRect(R() - 1, Top(5), 1, 23), GradientAt(R() - 1, R())),
              0);
    // Other entries are not framed.
    EXPECT_EQ(focused.copy(0, Top(6), R(), 23), unfocused.copy(0, Top(6), R(), 23));
}

// Rows of every weekday and a row above the first date line.
class ScheduleRowDrawTest : public GuiTest {
protected:
    void SetUp() override {
        Build({{"Week", StationText({"06:00 early", "05/03/14 星期一", "08:00 a", "05/03/15 星期二",
                                     "08:00 b", "05/03/16 星期三", "12:34 12:34", "05/03/17 星期四",
                                     "08:00 d", "05/03/18 星期五", "08:00 e", "05/03/19 星期六",
                                     "08:00 f", "05/03/20 星期日", "08:00 g"})}});
        form = std::make_unique<TFrmMain>();
        form->resize(800, 600);
        form->show();
        form->FormShow();
        QListWidget* list = form->lbTvSets();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        table = form->lvSchedules();
        ASSERT_EQ(table->model()->rowCount(), 8);
    }
    QImage Grab() { return table->viewport()->grab().toImage(); }
    // Near the top right corner of a cell: away from its text and the grid.
    QColor CellBackground(const QImage& image, int row, int column) {
        return image.pixelColor(table->columnViewportPosition(column) + table->columnWidth(column) -
                                    3,
                                table->rowViewportPosition(row) + 1);
    }
    QRect Cell(int row, int column) {
        return QRect(table->columnViewportPosition(column), table->rowViewportPosition(row),
                     table->columnWidth(column) - 1, table->rowHeight(row) - 1);
    }

    std::unique_ptr<TFrmMain> form;
    QTableView* table = nullptr;
};

TEST_F(ScheduleRowDrawTest, RowsArePaintedByTheirWeekday) {
    const QImage image = Grab();
    const QColor expected[] = {Start, Green, Start, Green, Start, Green, Start, Green};
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(CellBackground(image, row, column), expected[row]) << row << "," << column;
}

TEST_F(ScheduleRowDrawTest, OnlyTheTitleColumnIsBold) {
    // Row 3 holds 12:34 as its time and as its title.
    const QImage image = Grab();
    const int time = Ink(image, Cell(3, 2), Green), title = Ink(image, Cell(3, 3), Green);
    EXPECT_GT(time, 0);
    EXPECT_GT(title, time);
    auto* model = form->lvSchedulesModel();
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 4; ++column) {
            const QVariant font = model->data(model->index(row, column), Qt::FontRole);
            EXPECT_EQ(font.isValid() && font.value<QFont>().bold(), column == 3);
        }
}

TEST_F(ScheduleRowDrawTest, SelectedRowShowsTheOpenFolderAndTheOthersTheClosedOne) {
    auto* model = form->lvSchedulesModel();
    const QImage closed = form->ImageList1()[0].pixmap(16).toImage(),
                 open = form->ImageList1()[1].pixmap(16).toImage();
    auto iconOf = [&](int row) {
        const QVariant icon = model->data(model->index(row, 0), Qt::DecorationRole);
        return icon.value<QIcon>().pixmap(16, 16).toImage();
    };
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(iconOf(row), closed);

    std::vector<int> changed;
    QObject::connect(model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex&, const QList<int>& roles) {
                         if (roles.contains(Qt::DecorationRole)) changed.push_back(from.row());
                     });
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, Cell(2, 1).center());
    EXPECT_EQ(iconOf(2), open);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(iconOf(2), closed);
    EXPECT_EQ(iconOf(3), open);
    for (int row : {0, 1, 4, 5, 6, 7})
        EXPECT_EQ(iconOf(row), closed);
    EXPECT_EQ(changed, (std::vector<int>{2, 2, 3})); // both rows are painted again

    // The closed folder is what an unselected row shows.
    const QImage image = Grab();
    const QImage icon = form->ImageList1()[0].pixmap(16).toImage().convertToFormat(image.format());
    bool found = false;
    const QRect cell = Cell(0, 0);
    for (int y = cell.top(); y + 16 <= cell.bottom() + 1 && !found; ++y)
        for (int x = cell.left(); x + 16 <= cell.left() + 40 && !found; ++x)
            found = image.copy(x, y, 16, 16) == icon;
    EXPECT_TRUE(found);
}

} // namespace
