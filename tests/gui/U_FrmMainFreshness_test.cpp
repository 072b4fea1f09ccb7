// The status bar's word on the schedule's age.
#include <gtest/gtest.h>

#include "gui/U_FrmMainFreshness.h"

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

TEST(Freshness, StationDatesAreReadFromTheirText) {
    EXPECT_EQ(StationDate("26/12/15"), QDate(2026, 12, 15));
    EXPECT_EQ(StationDate("05/03/14 \xD0\xC7\xC6\xDA"), QDate(2005, 3, 14));
    for (const char* bad : {"", "26-12-15", "2a/12/15", "26/13/15", "26/12/1"})
        EXPECT_FALSE(StationDate(bad).isValid()) << bad;
}

} // namespace
