// The drawn icons (the schedule table's folders, the search buttons' glyphs)
// are drawn at the resolution they are shown at, never blown up from 16 x 16.
// The AtScale2 tests run in their own CTest entry, with QT_SCALE_FACTOR=2.
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "gui/U_FrmMain.h"
#include "gui/U_FrmSearch.h"
#include "ui_U_FrmSearch.h"

namespace {

bool Dark(const QColor& c) {
    return qGray(c.rgb()) < 100;
}

// The smallest rectangle holding every pixel of an area that passes a test.
QRect Bounds(const QImage& image, const QRect& area, const std::function<bool(QColor)>& test) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixelColor(x, y))) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST(DrawnIcons, GiveAPixmapAtTheDeviceResolutionAskedFor) {
    TFrmSearch search(nullptr, nullptr, nullptr, nullptr);
    const auto folders = MakeFolderImages();
    const std::vector<std::pair<const char*, QIcon>> icons = {
        {"closed folder", folders[0]},
        {"open folder", folders[1]},
        {"search", search.ui->btnSearch->icon()},
        {"pause", search.ui->btnPause->icon()},
        {"stop", search.ui->btnStop->icon()},
    };
    for (const auto& [name, icon] : icons)
        for (qreal ratio : {1.0, 1.5, 2.0, 3.0})
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                const QPixmap pixmap = icon.pixmap(QSize(16, 16), ratio, mode);
                EXPECT_EQ(pixmap.size(), QSize(16, 16) * ratio) << name << " at " << ratio;
                EXPECT_EQ(pixmap.devicePixelRatio(), ratio) << name << " at " << ratio;
            }
}

class AtScale2 : public GuiTest {
protected:
    void SetUp() override {
        if (qApp->devicePixelRatio() != 2) GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
    }
};

// Every horizontal line the middle of the closed folder crosses is one device
// pixel high: drawn at 2x, not 16 x 16 blown up (where each is two).
TEST_F(AtScale2, FolderIconsAreDrawnWithLinesOneDevicePixelWide) {
    Build({{"A", StationText({"05/03/14 星期一", "08:00 a", "09:00 b"})}});
    TFrmMain form;
    form.show();
    form.FormShow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QListWidget* list = form.lbTvSets();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QTableView* table = form.lvSchedules();
    ASSERT_EQ(table->model()->rowCount(), 2);
    const QImage image = table->viewport()->grab().toImage();
    ASSERT_EQ(image.devicePixelRatio(), 2);

    // The icon stands at the left of the first cell, before the date.
    const QRect cell = table->visualRect(table->model()->index(0, 0));
    const QRect iconArea(cell.left() * 2, cell.top() * 2, 20 * 2, cell.height() * 2);
    const QRect icon = Bounds(image, iconArea, Dark);
    ASSERT_TRUE(icon.isValid());
    const int x = icon.center().x();
    std::vector<int> runs;
    for (int y = icon.top(), run = 0; y <= icon.bottom() + 1; ++y) {
        if (y <= icon.bottom() && Dark(image.pixelColor(x, y))) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    EXPECT_EQ(runs, std::vector<int>(3, 1)); // the back, the top and the bottom of the folder
}

// The play triangle's upright left edge goes from the button's background to
// the glyph's green within one device pixel; blown up from 16 x 16 it takes
// two or more.
TEST_F(AtScale2, ButtonGlyphsAreDrawnAtTheDevicesResolution) {
    TFrmSearch dialog(nullptr, nullptr, nullptr, nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage image = dialog.ui->btnSearch->grab().toImage();
    ASSERT_EQ(image.devicePixelRatio(), 2);
    const QColor green(0, 128, 0);
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue()) <=
               12;
    };
    const QRect glyph = Bounds(image, image.rect(), [&](QColor c) { return near(c, green); });
    ASSERT_TRUE(glyph.isValid());
    const int y = glyph.center().y();
    const QColor background = image.pixelColor(1, y);
    int edge = 0, x = 1;
    for (; x < image.width() && !near(image.pixelColor(x, y), green); ++x)
        edge += !near(image.pixelColor(x, y), background);
    ASSERT_LT(x, image.width());
    EXPECT_LE(edge, 1);
}

} // namespace
