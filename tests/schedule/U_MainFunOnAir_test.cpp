#include <gtest/gtest.h>

#include <QString>

#include "platform/CodePage.h"
#include "schedule/U_MainFunOnAir.h"

namespace {

// The rows of a station text written in UTF-8 with LF line ends.
std::vector<ScheduleRow> Rows(const char* utf8) {
    const std::string text = platform::QStringToGbk(QString::fromUtf8(utf8));
    return StationRows(TextLines(text));
}

QDateTime At(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

std::string Shown(const std::optional<QDateTime>& start) {
    return start ? start->toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString() : "-";
}

const char* const Crossing = "26/12/08 星期二\n23:45 A\n00:20 B\n00:40 C\n"
                             "26/12/09 星期三\n06:00 D\n";
const char* const Day = "26/12/08 星期二\n08:00 A\n09:00 B\n10:00 C\n";
const char* const Gap = "26/12/08 星期二\n20:00 A\n23:00 B\n26/12/10 星期四\n08:00 C\n";
const char* const Undated = "07:00 X\n26/12/08 星期二\n08:00 A\nxx:yy 坏行\n09:00 B\n"
                            "26/13/08 星期二\n09:30 Y\n";

TEST(OnAirAt, RowOnAirAndNext) {
    struct Case {
        const char* name;
        const char* text;
        const char* at;
        int current, next;
    } cases[] = {
        {"before midnight", Crossing, "2026-12-08 23:50", 0, 1},
        {"past midnight, under the day before", Crossing, "2026-12-09 00:30", 1, 2},
        {"past midnight, until the next date", Crossing, "2026-12-09 05:59", 2, 3},
        {"the next date's own row", Crossing, "2026-12-09 06:00", 3, -1},
        {"not the date's own morning", Crossing, "2026-12-08 00:30", -1, 0},
        {"a row at exactly T", Day, "2026-12-08 09:00", 1, 2},
        {"a minute before it", Day, "2026-12-08 08:59", 0, 1},
        {"before the first row", Day, "2026-12-08 07:00", -1, 0},
        {"the last row", Day, "2026-12-08 10:00", 2, -1},
        {"the last row's two hours", Day, "2026-12-08 11:59", 2, -1},
        {"after them", Day, "2026-12-08 12:00", -1, -1},
        {"a day missing: the row before runs on", Gap, "2026-12-09 12:00", 1, 2},
        {"a day missing: the row after it", Gap, "2026-12-10 08:00", 2, -1},
        {"rows without a date are passed over", Undated, "2026-12-08 07:30", -1, 1},
        {"a bad time is passed over", Undated, "2026-12-08 08:30", 1, 3},
        {"a bad date is passed over", Undated, "2026-12-08 09:40", 3, -1},
        {"a station with no rows", "", "2026-12-08 09:00", -1, -1},
        {"only a date line", "26/12/08 星期二\n", "2026-12-08 09:00", -1, -1},
    };
    for (const Case& c : cases) {
        const TOnAir onAir = OnAirAt(ProgrammeStarts(Rows(c.text)), At(c.at));
        EXPECT_EQ(onAir.Current, c.current) << c.name;
        EXPECT_EQ(onAir.Next, c.next) << c.name;
    }
}

TEST(ProgrammeStarts, DatesTimesAndMidnight) {
    struct Case {
        const char* text;
        std::vector<std::string> starts;
    } cases[] = {
        {Crossing,
         {"2026-12-08 23:45", "2026-12-09 00:20", "2026-12-09 00:40", "2026-12-09 06:00"}},
        // A row without a start between two does not hide the crossing.
        {"26/12/08 星期二\n23:45 A\n--:-- B\n00:20 C\n",
         {"2026-12-08 23:45", "-", "2026-12-09 00:20"}},
        // Once past midnight the date stays moved, whatever the times after.
        {"26/12/08 星期二\n23:00 A\n01:00 B\n23:30 C\n",
         {"2026-12-08 23:00", "2026-12-09 01:00", "2026-12-09 23:30"}},
        {Undated, {"-", "2026-12-08 08:00", "-", "2026-12-08 09:00", "-"}},
        {"26/02/29 星期日\n08:00 A\n26/02/28 星期六\n24:00 B\n8:00 C\n", {"-", "-", "-"}},
        {"26/12/31 星期四\n23:00 A\n00:10 B\n", {"2026-12-31 23:00", "2027-01-01 00:10"}},
    };
    for (const Case& c : cases) {
        const TProgrammeStarts starts = ProgrammeStarts(Rows(c.text));
        std::vector<std::string> shown;
        for (const auto& start : starts)
            shown.push_back(Shown(start));
        EXPECT_EQ(shown, c.starts) << c.text;
    }
}

TEST(ProgrammeEnd, NextStartOrTwoHours) {
    const TProgrammeStarts starts = ProgrammeStarts(Rows(Undated));
    EXPECT_EQ(Shown(ProgrammeEnd(starts, 0)), "-");
    EXPECT_EQ(Shown(ProgrammeEnd(starts, 1)), "2026-12-08 09:00");
    EXPECT_EQ(Shown(ProgrammeEnd(starts, 2)), "-");
    EXPECT_EQ(Shown(ProgrammeEnd(starts, 3)), "2026-12-08 11:00");
    EXPECT_EQ(Shown(ProgrammeEnd(starts, 9)), "-");
}

} // namespace
