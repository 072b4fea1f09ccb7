#include "schedule/U_MainFunOnAir.h"

namespace {

// The value of n ASCII digits at text, or -1 where one is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t n) {
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<QDate> RowStartDate(std::string_view date) {
    if (date.size() != 10 || date.substr(0, 2) != "20" || date[4] != '-' || date[7] != '-')
        return std::nullopt;
    const int year = Digits(date, 2, 2), month = Digits(date, 5, 2), day = Digits(date, 8, 2);
    if (year < 0 || month < 0 || day < 0 || !QDate::isValid(2000 + year, month, day))
        return std::nullopt;
    return QDate(2000 + year, month, day);
}

std::optional<QTime> RowStartTime(std::string_view time) {
    if (time.size() != 5 || time[2] != ':') return std::nullopt;
    const int hour = Digits(time, 0, 2), minute = Digits(time, 3, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    return QTime(hour, minute);
}

TProgrammeStarts ProgrammeStarts(const std::vector<ScheduleRow>& rows) {
    TProgrammeStarts starts(rows.size());
    // The date the rows before were under, the last time of day met under it,
    // and whether the listing has run past midnight within it.
    const std::string* lastDate = nullptr;
    std::optional<QTime> lastTime;
    bool pastMidnight = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::optional<QDate> date = RowStartDate(rows[i].Date);
        const std::optional<QTime> time = RowStartTime(rows[i].Time);
        if (!date || !time) continue;
        if (!lastDate || *lastDate != rows[i].Date) {
            lastDate = &rows[i].Date;
            lastTime.reset();
            pastMidnight = false;
        }
        if (lastTime && *time < *lastTime) pastMidnight = true;
        lastTime = time;
        starts[i] = QDateTime(pastMidnight ? date->addDays(1) : *date, *time);
    }
    return starts;
}

std::optional<QDateTime> ProgrammeEnd(const TProgrammeStarts& starts, std::size_t row) {
    if (row >= starts.size() || !starts[row]) return std::nullopt;
    for (std::size_t next = row + 1; next < starts.size(); ++next)
        if (starts[next]) return starts[next];
    return starts[row]->addSecs(LastProgrammeSeconds);
}

TOnAir OnAirAt(const TProgrammeStarts& starts, const QDateTime& at) {
    TOnAir onAir;
    // From the end, so that the first row found is the last in text order,
    // each row meeting the start of the next row that has one.
    const QDateTime* nextStart = nullptr;
    for (std::size_t i = starts.size(); i-- > 0;) {
        if (!starts[i]) continue;
        const QDateTime end = nextStart ? *nextStart : starts[i]->addSecs(LastProgrammeSeconds);
        if (*starts[i] <= at && at < end) {
            onAir.Current = int(i);
            break;
        }
        nextStart = &*starts[i];
    }
    for (std::size_t i = std::size_t(onAir.Current + 1); i < starts.size(); ++i)
        if (starts[i] && *starts[i] > at) {
            onAir.Next = int(i);
            break;
        }
    return onAir;
}
