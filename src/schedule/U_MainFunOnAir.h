// What is on air: the start of each row of a station's week, and the row on
// air at an instant. One rule for the table's mark, the views and the command
// line.
#pragma once

#include <QDateTime>
#include <cstdint>
#include <optional>
#include <vector>

#include "schedule/U_MainFunText.h"

// Each row's start in local time: its Date and Time, moved to the next calendar day once a
// row's time is earlier than the time of the row before it within one date; none where the
// date or time is not a valid 20yy-mm-dd / hh:mm.
using TProgrammeStarts = std::vector<std::optional<QDateTime>>;
TProgrammeStarts ProgrammeStarts(const std::vector<ScheduleRow>& rows);

// A row's end: the start of the next row that has one; for the last such row, two hours
// after its own start. None for a row without a start.
std::optional<QDateTime> ProgrammeEnd(const TProgrammeStarts& starts, std::size_t row);

// The row on air at an instant, and the next row after it; -1 where there is none.
struct TOnAir {
    int Current = -1;
    int Next = -1;
};
TOnAir OnAirAt(const TProgrammeStarts& starts, const QDateTime& at);

// How long the last row with a start counts as on air.
constexpr int LastProgrammeSeconds = 2 * 60 * 60;

// The same rule over starts as minutes of the local wall clock (Julian day
// times 1440 plus the minute of the day), which compare as plain numbers: a
// QDateTime in local time asks the time zone at every turn, which made a
// whole schedule of 200,000 rows take seconds instead of milliseconds.
using TStartMinute = std::int64_t;
inline constexpr TStartMinute NoStart = INT64_MIN;
using TStartMinutes = std::vector<TStartMinute>;
TStartMinute StartMinute(const QDateTime& at); // at in local time, to the minute
QDateTime StartDateTime(TStartMinute start);   // none for NoStart
TOnAir OnAirAt(const TStartMinutes& starts, TStartMinute at);
// A row's end as ProgrammeEnd gives it; NoStart for a row without a start.
TStartMinute ProgrammeEnd(const TStartMinutes& starts, std::size_t row);

// The parts of a row's start: none unless the text is exactly 20yy-mm-dd (a
// real calendar day) or hh:mm (00:00 to 23:59).
std::optional<QDate> RowStartDate(std::string_view date);
std::optional<QTime> RowStartTime(std::string_view time);

// The starts of a station's rows one after the other, by the rule of
// ProgrammeStarts, for callers that keep the rows in another shape.
class TProgrammeStartReader {
public:
    TStartMinute NextMinute(std::string_view date, std::string_view time) {
        Date(date);
        return Time(time);
    }
    std::optional<QDateTime> Next(std::string_view date, std::string_view time) {
        const TStartMinute start = NextMinute(date, time);
        return start == NoStart ? std::nullopt : std::optional<QDateTime>(StartDateTime(start));
    }

    // NextMinute in two steps: the date of the row, and its time. A reader
    // that knows a row's date to be that of the row before may skip the first.
    void Date(std::string_view date);
    TStartMinute Time(std::string_view time);

private:
    std::string lastDate = "\n"; // no row's date
    TStartMinute day = NoStart;  // its first minute; NoStart for no valid date
    int lastTime = -1;           // the minute of the day of the last row with a start
    bool pastMidnight = false;
};

// A station's week as the on-air views keep it: its text, and each row's
// title (viewing the text) and start.
struct TStationWeek {
    std::string Text; // GBK bytes
    // Where each row's line lies in the text: a week may move, its text with it.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> LineSpans;
    TStartMinutes Starts;
    std::string_view Title(std::size_t row) const {
        return ProgrammeTitle(
            std::string_view(Text).substr(LineSpans[row].first, LineSpans[row].second));
    }
};
// Takes the text; reuses the week's storage.
void ReadStationWeek(std::string&& text, TStationWeek& week);
