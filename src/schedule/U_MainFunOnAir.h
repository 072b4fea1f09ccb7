// What is on air: the start of each row of a station's week, and the row on
// air at an instant. One rule for the table's mark, the views and the command
// line.
#pragma once

#include <QDateTime>
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

// The parts of a row's start: none unless the text is exactly 20yy-mm-dd (a
// real calendar day) or hh:mm (00:00 to 23:59).
std::optional<QDate> RowStartDate(std::string_view date);
std::optional<QTime> RowStartTime(std::string_view time);
