// The times of a guide. XMLTV gives a programme's start as
// "YYYYMMDDhhmm[ss] [+hhmm]", meaning UTC when the offset is missing; the
// station text gives dates and times at one target offset, for a window of
// whole days at that offset.
#pragma once

#include <QDate>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace guide {

// Seconds since 1970-01-01 00:00 UTC of a start attribute, or nothing when it
// cannot be read.
std::optional<std::int64_t> XmltvStartUtc(std::string_view start);

// "+HH:MM" or "-HH:MM" in minutes east of UTC.
std::optional<int> ParseUtcOffset(std::string_view text);
// "YYYY-MM-DD", a real date.
std::optional<QDate> ParseDate(std::string_view text);

// From this UTC second on, the wall clock is offsetSeconds east of UTC.
struct TOffsetChange {
    std::int64_t fromUtc;
    int offsetSeconds;
};

struct TGuideWindow {
    QDate from; // the first day, at the target offset
    int days = 7;
    int offsetMinutes = 480; // +08:00
    // A time zone's offsets across the window, summer time included, in
    // place of offsetMinutes; empty: offsetMinutes throughout.
    std::vector<TOffsetChange> zoneOffsets;

    // The window's first second in UTC (at offsetMinutes), and its length.
    std::int64_t StartUtc() const;
    std::int64_t Seconds() const { return std::int64_t(days) * 86400; }
    // A UTC moment on the window's wall clock: seconds since its first midnight.
    std::int64_t WallSeconds(std::int64_t utc) const;
};

// Days from a date on in the computer's own time zone (TZ, else the system's).
TGuideWindow LocalWindow(const QDate& from, int days);

// The Monday of the week that holds this moment at the given offset.
QDate ThisWeeksMonday(int offsetMinutes);

} // namespace guide
