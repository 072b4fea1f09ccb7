// Finding a station: the filter field above the station list and the
// favourites of its context menu.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>

#include "OnAirFixture.h"
#include "gui/U_MainFunGuiFavourites.h"
#include "gui/U_MainFunGuiFilter.h"
#include "platform/Registry.h"

namespace {

class StationFilter : public OnAirTest {
protected:
    void SetUp() override {
        BuildStations();
        Start();
        field = form->etStationFilter();
    }
    void Type(const char* text) {
        field->clear();
        const QString typed = QString::fromUtf8(text);
        // QTest types ASCII keys only; an input method hands over the rest at once.
        for (QChar c : typed)
            if (c.unicode() < 0x80)
                QTest::keyClick(field, c.toLatin1());
            else
                field->insert(c);
    }
    // The visible entries of lbPos, which must be those of lbTvSets.
    QStringList VisibleOffsets() const {
        QStringList offsets;
        for (int i = 0; i < form->lbPos()->count(); ++i)
            if (!form->lbPos()->isRowHidden(i)) offsets << form->lbPos()->item(i)->text();
        return offsets;
    }
    QStringList OffsetsOf(const QStringList& names) const {
        QStringList offsets;
        for (const QString& name : names)
            offsets << form->lbPos()->item(Row(name))->text();
        return offsets;
    }
    QLineEdit* field = nullptr;
};

TEST_F(StationFilter, NarrowsTheListByNameCaseSpacesHyphensAndPinyin) {
    const QStringList all = {"CCTV-1", "CCTV-5", "CCTV5+", "湖南卫视", "空台"};
    struct Case {
        const char* text;
        QStringList shown;
    } cases[] = {
        {"cctv5", {"CCTV-5", "CCTV5+"}},
        {"CC TV-5", {"CCTV-5", "CCTV5+"}},
        {"5+", {"CCTV5+"}},
        {"hnws", {"湖南卫视"}},
        {"HNWS", {"湖南卫视"}},
        {"hunan", {"湖南卫视"}},
        {"卫视", {"湖南卫视"}},
        {"kt", {"空台"}},
        {"cctvx", {}},
        {"", all},
    };
    for (const Case& c : cases) {
        Type(c.text);
        EXPECT_EQ(Visible(), c.shown) << c.text;
        EXPECT_EQ(VisibleOffsets(), OffsetsOf(c.shown)) << c.text;
    }
    // Each entry keeps its row, so its number in the whole list.
    Type("hnws");
    EXPECT_EQ(Row("湖南卫视"), 3);
}

TEST_F(StationFilter, EscapeClearsAndCtrlLFocuses) {
    form->lbTvSets()->setFocus();
    QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(field->hasFocus());
    QTest::keyClicks(field, "cctv");
    EXPECT_EQ(Visible().size(), 3);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(Visible(), Names());
    EXPECT_EQ(Names(), QStringList({"CCTV-1", "CCTV-5", "CCTV5+", "湖南卫视", "空台"}));
}

TEST_F(StationFilter, ChoosingAFilteredEntryShowsItsStation) {
    Type("hnws");
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_TRUE(form->lbTvSets()->hasFocus());
    QTest::keyClick(form->lbTvSets(), Qt::Key_Down);
    EXPECT_EQ(form->Panel4()->text(), "当前电视台：湖南卫视");
}

TEST(StationFilterKeys, FoldAndMatch) {
    EXPECT_EQ(TStationFilter::Folded("CCTV-5 Plus"), "cctv5plus");
    TStationFilter filter;
    EXPECT_TRUE(filter.Matches("北京卫视", "bjws"));
    EXPECT_TRUE(filter.Matches("北京卫视", "beijing"));
    EXPECT_TRUE(filter.Matches("CCTV-5体育", "cctv5ty"));
    EXPECT_FALSE(filter.Matches("北京卫视", "bjwx"));
    EXPECT_TRUE(filter.Matches("北京卫视", ""));
}

// Favourites: the context menu adds and removes them, they come first in
// their own order with a star, and they outlive a restart and an update.
class Favourites : public OnAirTest {
protected:
    // Opens the context menu of a station and picks its one entry.
    QString ToggleByMenu(const QString& name) {
        QListWidget* list = form->lbTvSets();
        QString caption;
        QTimer::singleShot(0, [&] {
            if (!QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }))
                return;
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            caption = menu->actions().value(0)->text();
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        const QPoint at = list->visualItemRect(list->item(Row(name))).center();
        emit list->customContextMenuRequested(at);
        return caption;
    }
    bool Starred(const QString& name) {
        return form->lbTvSets()->item(Row(name))->data(FavouriteRole).toBool();
    }
};

TEST_F(Favourites, ComeFirstInTheirOrderAndOutliveRestartAndUpdate) {
    BuildStations();
    Start();
    Click("CCTV-5");
    EXPECT_EQ(ToggleByMenu("湖南卫视"), "加入收藏");
    EXPECT_EQ(ToggleByMenu("CCTV5+"), "加入收藏");
    EXPECT_EQ(Names(), QStringList({"湖南卫视", "CCTV5+", "CCTV-1", "CCTV-5", "空台"}));
    EXPECT_TRUE(Starred("湖南卫视"));
    EXPECT_FALSE(Starred("CCTV-1"));
    // The station on show stays selected and on show in its new place.
    EXPECT_EQ(SelectedIndex(form->lbTvSets()), Row("CCTV-5"));
    EXPECT_EQ(form->Panel4()->text(), "当前电视台：CCTV-5");
    // lbPos follows entry for entry.
    Click("CCTV5+");
    EXPECT_EQ(form->Panel4()->text(), "当前电视台：CCTV5+");
    EXPECT_EQ(form->lvSchedules()->model()->index(0, 3).data().toString(), "赛事0");

    // A restart lists them first again.
    form.reset();
    Start();
    EXPECT_EQ(Names(), QStringList({"湖南卫视", "CCTV5+", "CCTV-1", "CCTV-5", "空台"}));

    // An update without one of them keeps it for when it returns.
    auto update = [&](std::vector<std::pair<std::string, std::string>> stations) {
        form->RunUpdateDialog = [&, stations] {
            Build(stations);
            return 1;
        };
        form->TBXItem7Click();
    };
    update({{"CCTV-1", TuesdayText("综合")}, {"CCTV5+", TuesdayText("赛事")}});
    EXPECT_EQ(Names(), QStringList({"CCTV5+", "CCTV-1"}));
    EXPECT_EQ(form->Panel4()->text(), "当前电视台：CCTV5+"); // station 0 of the new list
    update({{"CCTV-1", TuesdayText("综合")},
            {"CCTV5+", TuesdayText("赛事")},
            {"湖南卫视", TuesdayText("快乐")}});
    EXPECT_EQ(Names(), QStringList({"湖南卫视", "CCTV5+", "CCTV-1"}));

    EXPECT_EQ(ToggleByMenu("湖南卫视"), "取消收藏");
    EXPECT_EQ(Names(), QStringList({"CCTV5+", "CCTV-1", "湖南卫视"}));
    platform::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(platform::VimbrelKey, false));
    EXPECT_EQ(registry.ReadString("Favourites"), "CCTV5+");
}

TEST_F(Favourites, AStarIsDrawnAndCtrlDToggles) {
    BuildStations();
    Start();
    QListWidget* list = form->lbTvSets();
    const auto starPixels = [&](int row) {
        const QRect entry = list->visualItemRect(list->item(row));
        const QImage image = list->viewport()->grab().toImage();
        int yellow = 0;
        for (int x = entry.right() - 18; x <= entry.right(); ++x)
            for (int y = entry.top(); y <= entry.bottom(); ++y) {
                const QColor c = image.pixelColor(x, y);
                yellow += c.red() > 200 && c.green() > 150 && c.blue() < 80;
            }
        return yellow;
    };
    EXPECT_EQ(starPixels(0), 0);
    list->setFocus();
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Names().first(), "CCTV5+");
    EXPECT_GT(starPixels(0), 10);
    EXPECT_EQ(starPixels(1), 0);
    EXPECT_EQ(list->currentRow(), 0); // the toggled station stays current
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Names(), QStringList({"CCTV-1", "CCTV-5", "CCTV5+", "湖南卫视", "空台"}));
}

} // namespace
