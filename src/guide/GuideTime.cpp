#include "guide/GuideTime.h"

#include <QDateTime>
#include <QTimeZone>

namespace guide {
namespace {

constexpr std::int64_t UnixEpochJulianDay = 2440588;

// n decimal digits at text[at], or -1.
int Digits(std::string_view text, std::size_t at, std::size_t n) {
    if (at + n > text.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::int64_t UtcSeconds(const QDate& date, int hour, int minute, int second) {
    return (date.toJulianDay() - UnixEpochJulianDay) * 86400 + hour * 3600 + minute * 60 + second;
}

// "+hhmm" / "-hhmm" in seconds east of UTC; an empty rest means UTC.
std::optional<int> XmltvOffset(std::string_view rest) {
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == ' ')
        rest.remove_suffix(1);
    if (rest.empty()) return 0;
    const int hours = Digits(rest, 1, 2), minutes = Digits(rest, 3, 2);
    if (rest.size() != 5 || (rest[0] != '+' && rest[0] != '-') || hours < 0 || minutes < 0 ||
        minutes > 59)
        return std::nullopt;
    return (rest[0] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
}

} // namespace

std::optional<std::int64_t> XmltvStartUtc(std::string_view start) {
    const int year = Digits(start, 0, 4), month = Digits(start, 4, 2), day = Digits(start, 6, 2);
    const int hour = Digits(start, 8, 2), minute = Digits(start, 10, 2);
    // Seconds are optional: two more digits right after the minutes.
    const int second = Digits(start, 12, 2);
    const std::size_t restAt = second >= 0 ? 14 : 12;
    if (year < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second > 59)
        return std::nullopt;
    const QDate date(year, month, day);
    const std::optional<int> offset = XmltvOffset(start.substr(std::min(restAt, start.size())));
    if (!date.isValid() || !offset) return std::nullopt;
    return UtcSeconds(date, hour, minute, std::max(second, 0)) - *offset;
}

std::optional<int> ParseUtcOffset(std::string_view text) {
    const int hours = Digits(text, 1, 2), minutes = Digits(text, 4, 2);
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' || hours < 0 ||
        hours > 23 || minutes < 0 || minutes > 59)
        return std::nullopt;
    return (text[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
}

std::optional<QDate> ParseDate(std::string_view text) {
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || year < 0) return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid()) return std::nullopt;
    return date;
}

std::int64_t TGuideWindow::StartUtc() const {
    return UtcSeconds(from, 0, 0, 0) - std::int64_t(offsetMinutes) * 60;
}

std::int64_t TGuideWindow::WallSeconds(std::int64_t utc) const {
    int offset = offsetMinutes * 60;
    for (const TOffsetChange& change : zoneOffsets) {
        if (change.fromUtc > utc) break;
        offset = change.offsetSeconds;
    }
    return utc + offset - UtcSeconds(from, 0, 0, 0);
}

// The zone's offset two days before the window and each change until two
// days after it, found by a look every 15 minutes: every zone changes on a
// quarter hour, and a thousand looks cost well under a millisecond.
TGuideWindow LocalWindow(const QDate& from, int days) {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    TGuideWindow window;
    window.from = from;
    window.days = days;
    const std::int64_t begin = UtcSeconds(window.from, 0, 0, 0) - 2 * 86400;
    const std::int64_t end = begin + (std::int64_t(days) + 4) * 86400;
    auto offsetAt = [&](std::int64_t utc) {
        return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
    };
    window.zoneOffsets.push_back({begin, offsetAt(begin)});
    window.offsetMinutes = window.zoneOffsets.front().offsetSeconds / 60;
    for (std::int64_t at = begin + 900; at < end; at += 900) {
        const int offset = offsetAt(at);
        if (offset != window.zoneOffsets.back().offsetSeconds)
            window.zoneOffsets.push_back({at, offset});
    }
    return window;
}

QDate ThisWeeksMonday(int offsetMinutes) {
    const std::int64_t local =
        QDateTime::currentSecsSinceEpoch() + std::int64_t(offsetMinutes) * 60;
    const QDate today = QDate::fromJulianDay(UnixEpochJulianDay + local / 86400);
    return today.addDays(1 - today.dayOfWeek());
}

} // namespace guide
