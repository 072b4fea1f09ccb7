// The status bar's word on the schedule's age.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include "GuiTestSupport.h"
#include "gui/U_FrmMain.h"
#include "gui/U_FrmMainFreshness.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"

namespace {

// 2026-12-09 08:00 local, as days since 30 December 1899.
constexpr double Built = 46365 + 8.0 / 24;

TEST(Freshness, BuildTimeUntilTheLastDayHasPassed) {
    const QDate last(2026, 12, 15);
    const struct {
        double built;
        QDate last, today;
        const char* text;
    } cases[] = {
        {Built, last, QDate(2026, 12, 9), "节目表更新于 2026-12-09 08:00"},
        {Built, last, last, "节目表更新于 2026-12-09 08:00"},
        {Built, last, last.addDays(1), "节目表已过期，请更新节目表"},
        {Built, QDate(), QDate(2027, 1, 1), "节目表更新于 2026-12-09 08:00"},
        {Built + 0.5 / 1440, last, last, "节目表更新于 2026-12-09 08:01"},
        {0, QDate(), QDate(2026, 12, 9), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FreshnessText(c.built, c.last, c.today).toStdString(), c.text) << c.text;
}

TEST(Freshness, RowDatesAreRead) {
    EXPECT_EQ(StationDate("2026-12-15"), QDate(2026, 12, 15));
    EXPECT_EQ(StationDate("2005-03-14"), QDate(2005, 3, 14));
    for (const char* bad : {"", "20--", "26/12/15", "2026-13-15", "2026-12-1", "2026-12-155"})
        EXPECT_FALSE(StationDate(bad).isValid()) << bad;
}

// The window's second status panel: the build time of the schedule, then,
// for a station whose days are all past, that it has run out.
class StatusBar : public GuiTest {};

TEST_F(StatusBar, SaysHowFreshTheScheduleIs) {
    const std::string folder = dir.file("stations/");
    std::filesystem::create_directories(folder);
    WriteAll(folder + "old.txt", "05/03/14 \xD0\xC7\xC6\xDA\xD2\xBB\r\n08:00 news\r\n");
    BuildScheduleFile(folder, "*.*", ScheduleFilePath(), Built);
    TFrmMain form;
    form.show();
    form.FormShow();
    auto* panel = form.findChild<QLabel*>("FreshnessPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->text(), "节目表更新于 2026-12-09 08:00");
    form.lbTvSets()->setCurrentRow(0);
    EXPECT_EQ(panel->text(), "节目表已过期，请更新节目表");
}

} // namespace
