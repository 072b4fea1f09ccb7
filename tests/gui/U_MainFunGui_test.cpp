// The list functions and the drawing rules, apart from the window.
#include <QPainter>
#include <QProgressBar>

#include "GuiTestSupport.h"
#include "gui/U_FrmMainControls.h"
#include "gui/U_MainFunGui.h"

namespace {

TEST(ScheduleRowColorTest, OddDaysAreGreenAndEverythingElseBlue) {
    const QColor green(227, 254, 226), blue(218, 227, 252);
    struct Case {
        std::string weekday;
        QColor color;
    };
    for (const Case& c : std::vector<Case>{{Gbk("星期一"), green},
                                           {Gbk("星期二"), blue},
                                           {Gbk("星期三"), green},
                                           {Gbk("星期四"), blue},
                                           {Gbk("星期五"), green},
                                           {Gbk("星期六"), blue},
                                           {Gbk("星期日"), green},
                                           {"", blue},
                                           {Gbk("星期一 "), blue}, // byte for byte, no trimming
                                           {Gbk("星期"), blue},
                                           {"Monday", blue}})
        EXPECT_EQ(ScheduleRowColor(c.weekday), c.color) << platform::GbkToUtf8(c.weekday);
}

TEST(AsciiLowerTest, ChangesOnlyAsciiCapitals) {
    EXPECT_EQ(AsciiLower("AbZ@[`{"), "abz@[`{");
    // GBK bytes in the A-Z range of a trail byte would change; lead bytes never are.
    EXPECT_EQ(AsciiLower(Gbk("星期一")), Gbk("星期一"));
    EXPECT_EQ(AsciiLower("\xC0\xDA"), "\xC0\xDA");
}

TEST(GaugeTest, TextIsTheTruncatedPercentageAndZeroWithoutMaximum) {
    TGauge gauge;
    struct Case {
        int maximum, position;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{
             {0, 0, "0%"}, {3, 1, "33%"}, {3, 2, "66%"}, {1000, 999, "99%"}, {5, 5, "100%"}}) {
        gauge.setRange(0, c.maximum);
        gauge.setValue(c.position);
        EXPECT_EQ(gauge.text(), c.text) << c.maximum << " " << c.position;
    }
}

TEST(FillScheduleTableTest, RowsFollowTheStationTextRulesAndTheGaugeEndsAtZero) {
    const std::string text = StationText({"06:00 before", "05/03/14 星期一", "08:00  新闻联播 ", "",
                                          "\t", "05/3/15 星期二\t", "1234", "09:30 A/B 星期"});
    const TLines lines = TextLines(text);
    TScheduleTableModel model;
    TGauge gauge;
    std::vector<int> positions;
    QObject::connect(&gauge, &QProgressBar::valueChanged, [&](int v) { positions.push_back(v); });
    FillScheduleTable(lines, &model, &gauge);

    const std::vector<ScheduleRow> expected = StationRows(lines);
    ASSERT_EQ(model.rowCount(), int(expected.size()));
    ASSERT_EQ(model.rowCount(), 3);
    for (int r = 0; r < model.rowCount(); ++r) {
        EXPECT_EQ(model.Row(r).Date, expected[r].Date);
        EXPECT_EQ(model.Row(r).Weekday, expected[r].Weekday);
        EXPECT_EQ(model.Row(r).Time, expected[r].Time);
        EXPECT_EQ(model.Row(r).Title, expected[r].Title);
        EXPECT_EQ(model.Row(r).ImageIndex, 0);
    }
    EXPECT_EQ(model.data(model.index(1, 3)).toString(), "新闻联播");
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), "2005-3-15 ");
    EXPECT_EQ(gauge.maximum(), int(lines.size()));
    std::vector<int> all;
    for (int i = 0; i < int(lines.size()); ++i)
        all.push_back(i);
    all.push_back(0);
    EXPECT_EQ(positions, all);
    EXPECT_TRUE(gauge.updatesEnabled()); // painted at most now and then during the fill

    // The next fill replaces every row at once.
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    FillScheduleTable(TextLines(StationText({"07:00 x"})), &model, &gauge);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(ScheduleTableModelTest, RolesGiveIconsColoursAndTheBoldTitle) {
    TScheduleTableModel model;
    const auto images = MakeFolderImages();
    model.SetImages(images);
    QFont font("宋体", 9);
    model.SetFont(font);
    model.SetRows({{"2005-03-14", Gbk("星期一"), "08:00", "a", 0},
                   {"2005-03-15", Gbk("星期二"), "09:00", "b", 0}});
    model.SetImageIndex(1, 1);
    for (int r = 0; r < 2; ++r) {
        const QColor rowColor = r == 0 ? QColor(227, 254, 226) : QColor(218, 227, 252);
        for (int c = 0; c < 4; ++c) {
            const QModelIndex cell = model.index(r, c);
            EXPECT_EQ(model.data(cell, Qt::BackgroundRole).value<QColor>(), rowColor);
            const QVariant cellFont = model.data(cell, Qt::FontRole);
            EXPECT_EQ(cellFont.isValid() && cellFont.value<QFont>().bold(), c == 3);
            if (cellFont.isValid()) {
                EXPECT_EQ(cellFont.value<QFont>().family(), "宋体");
            }
            EXPECT_EQ(model.data(cell, Qt::DecorationRole).isValid(), c == 0);
        }
        const auto icon = model.data(model.index(r, 0), Qt::DecorationRole).value<QIcon>();
        EXPECT_EQ(icon.pixmap(16, 16).toImage(), images[r].pixmap(16).toImage());
    }
    EXPECT_EQ(model.flags(model.index(0, 0)) & Qt::ItemIsEditable, 0);
}

TEST(FolderImagesTest, TwoDifferentBlackOnWhiteIcons) {
    const auto images = MakeFolderImages();
    const QImage closed = images[0].pixmap(16).toImage(), open = images[1].pixmap(16).toImage();
    ASSERT_EQ(closed.size(), QSize(16, 16));
    ASSERT_EQ(open.size(), QSize(16, 16));
    EXPECT_NE(closed, open);
    for (const QImage& image : {closed, open})
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QColor c = image.pixelColor(x, y);
                EXPECT_TRUE(c == Qt::white || c == Qt::black) << x << "," << y;
            }
}

// DrawStationItem on an image, outside any list view.
class DrawStationItemTest : public ::testing::Test {
protected:
    DrawStationItemTest() {
        list.addItem("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
        list.setFont(QFont("宋体", 9));
    }
    QImage Draw(QRect rect, QStyle::State state, int width = 300) {
        QImage image(width, 23, QImage::Format_RGB32);
        image.fill(QColor(1, 2, 3));
        QPainter painter(&image);
        DrawStationItem(&list, &painter, 0, state, rect);
        return image;
    }
    QListWidget list;
};

TEST_F(DrawStationItemTest, LongNameIsCutAtTheEntrysRightEdge) {
    const QImage image = Draw(QRect(0, 0, 100, 23), QStyle::State_None);
    bool inkInside = false;
    for (int y = 0; y < 23; ++y) {
        for (int x = 30; x < 100; ++x)
            inkInside = inkInside || image.pixelColor(x, y).red() < 128;
        for (int x = 100; x < 300; ++x)
            ASSERT_EQ(image.pixelColor(x, y), QColor(1, 2, 3)) << x << "," << y;
    }
    EXPECT_TRUE(inkInside);
}

TEST_F(DrawStationItemTest, CollapsedEntryIsNotPaintedByTheGradient) {
    // Right edge 0: the gradient rule would divide by zero.
    const QImage image = Draw(QRect(0, 0, 0, 23), QStyle::State_Selected);
    EXPECT_EQ(image.pixelColor(0, 1), QColor(1, 2, 3));
    EXPECT_EQ(image.pixelColor(0, 22), QColor(1, 2, 3));
}

TEST_F(DrawStationItemTest, GradientRunsColumnByColumnOverWideEntries) {
    const int R = 1000;
    const QImage image = Draw(QRect(0, 0, R, 23), QStyle::State_Selected, R);
    for (int x : {0, 1, 7, 25, 26, 333, 500, 999}) {
        const QColor expected(218 - (218 - 179) * x / R, 227 - (227 - 186) * x / R,
                              252 - (252 - 249) * x / R);
        EXPECT_EQ(image.pixelColor(x, 0), expected) << x;
        EXPECT_EQ(image.pixelColor(x, 22), expected) << x;
    }
}

} // namespace
