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

// The minute of the day of an hh:mm text, or -1.
int MinuteOfDay(std::string_view time) {
    if (time.size() != 5 || time[2] != ':') return -1;
    const int hour = Digits(time, 0, 2), minute = Digits(time, 3, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return -1;
    return hour * 60 + minute;
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
    const int minute = MinuteOfDay(time);
    if (minute < 0) return std::nullopt;
    return QTime(minute / 60, minute % 60);
}

TStartMinute StartMinute(const QDateTime& at) {
    const QDateTime local = at.toLocalTime();
    return local.date().toJulianDay() * 1440 + local.time().hour() * 60 + local.time().minute();
}

QDateTime StartDateTime(TStartMinute start) {
    if (start == NoStart) return {};
    const TStartMinute day = start >= 0 ? start / 1440 : -((-start + 1439) / 1440);
    const int minute = int(start - day * 1440);
    return QDateTime(QDate::fromJulianDay(day), QTime(minute / 60, minute % 60));
}

void TProgrammeStartReader::Date(std::string_view dateText) {
    if (dateText == lastDate) return;
    lastDate = dateText;
    const std::optional<QDate> date = RowStartDate(dateText);
    day = date ? date->toJulianDay() * 1440 : NoStart;
    lastTime = -1;
    pastMidnight = false;
}

TStartMinute TProgrammeStartReader::Time(std::string_view timeText) {
    const int minute = MinuteOfDay(timeText);
    if (day == NoStart || minute < 0) return NoStart;
    if (lastTime >= 0 && minute < lastTime) pastMidnight = true;
    lastTime = minute;
    return day + (pastMidnight ? 1440 : 0) + minute;
}

TProgrammeStarts ProgrammeStarts(const std::vector<ScheduleRow>& rows) {
    TProgrammeStarts starts;
    starts.reserve(rows.size());
    TProgrammeStartReader reader;
    for (const ScheduleRow& row : rows)
        starts.push_back(reader.Next(row.Date, row.Time));
    return starts;
}

std::optional<QDateTime> ProgrammeEnd(const TProgrammeStarts& starts, std::size_t row) {
    if (row >= starts.size() || !starts[row]) return std::nullopt;
    for (std::size_t next = row + 1; next < starts.size(); ++next)
        if (starts[next]) return starts[next];
    return starts[row]->addSecs(LastProgrammeSeconds);
}

TStartMinute ProgrammeEnd(const TStartMinutes& starts, std::size_t row) {
    if (row >= starts.size() || starts[row] == NoStart) return NoStart;
    for (std::size_t next = row + 1; next < starts.size(); ++next)
        if (starts[next] != NoStart) return starts[next];
    return starts[row] + LastProgrammeSeconds / 60;
}

TOnAir OnAirAt(const TProgrammeStarts& starts, const QDateTime& at) {
    TStartMinutes minutes;
    minutes.reserve(starts.size());
    for (const std::optional<QDateTime>& start : starts)
        minutes.push_back(start ? StartMinute(*start) : NoStart);
    return OnAirAt(minutes, StartMinute(at));
}

TOnAir OnAirAt(const TStartMinutes& starts, TStartMinute at) {
    TOnAir onAir;
    // From the end, so that the first row found is the last in text order,
    // each row meeting the start of the next row that has one.
    TStartMinute nextStart = NoStart;
    for (std::size_t i = starts.size(); i-- > 0;) {
        if (starts[i] == NoStart) continue;
        const TStartMinute end =
            nextStart != NoStart ? nextStart : starts[i] + LastProgrammeSeconds / 60;
        if (starts[i] <= at && at < end) {
            onAir.Current = int(i);
            break;
        }
        nextStart = starts[i];
    }
    for (std::size_t i = std::size_t(onAir.Current + 1); i < starts.size(); ++i)
        if (starts[i] != NoStart && starts[i] > at) {
            onAir.Next = int(i);
            break;
        }
    return onAir;
}

void ReadStationWeek(std::string&& text, TStationWeek& week) {
    week.Text = std::move(text);
    week.LineSpans.clear();
    week.Starts.clear();
    const TLines lines = TextLines(week.Text);
    TStationRowReader rows;
    TProgrammeStartReader starts;
    int dateLines = -1; // of the row before: rows under as many share their date
    for (std::string_view line : lines) {
        if (rows.Feed(line) != TStationRowReader::lkProgramme) continue;
        week.LineSpans.emplace_back(std::uint32_t(line.data() - week.Text.data()),
                                    std::uint32_t(line.size()));
        // Row by row, as ProgrammeStarts: a date line without rows leaves the date as it was.
        if (rows.DateLines() != dateLines) starts.Date(rows.CurrentDate());
        dateLines = rows.DateLines();
        week.Starts.push_back(starts.Time(ProgrammeTime(line)));
    }
}
