#include "platform/Clock.h"

#include <chrono>
#include <cmath>

namespace platform {
namespace {

// Days from 30 December 1899 to 1 January 1970.
constexpr double UnixEpochDays = 25569.0;

std::tm LocalTm(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// Local broken-down time to days since 30 December 1899 (calendar arithmetic,
// no time zone involved).
double CalendarDays(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12; // away from any midnight ambiguity
    std::time_t t = timegm(&tm);
    return std::floor(double(t) / 86400.0) + UnixEpochDays;
}

} // namespace

double Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t secs = system_clock::to_time_t(now);
    int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm = LocalTm(secs);
    double day = CalendarDays(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return day + (tm.tm_hour * 3600000.0 + tm.tm_min * 60000.0 + tm.tm_sec * 1000.0 + ms) / 86400000.0;
}

std::uint32_t DateTimeToDosDateTime(double dateTime) {
    std::time_t t = std::time_t(std::llround((dateTime - UnixEpochDays) * 86400.0));
    std::tm tm{};
    gmtime_r(&t, &tm); // the value is already local: take it apart without a zone
    int year = tm.tm_year + 1900;
    if (year < 1980) return (1u << 5 | 1u) << 16; // 1980-01-01, the earliest DOS date
    std::uint32_t date = std::uint32_t((year - 1980) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    std::uint32_t time = std::uint32_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return date << 16 | time;
}

std::uint32_t NowDosDateTime() { return DateTimeToDosDateTime(Now()); }

double DosDateTimeToDateTime(std::uint32_t dos) {
    if (dos == 0) return CalendarDays(1980, 1, 1) + 60.0 / 86400.0;
    std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    int year = int(date >> 9) + 1980, month = int(date >> 5 & 15), day = int(date & 31);
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    if (day < 1) day = 1;
    return CalendarDays(year, month, day) +
           (int(time >> 11) * 3600 + int(time >> 5 & 63) * 60 + int(time & 31) * 2) / 86400.0;
}

std::time_t DosDateTimeToUnix(std::uint32_t dos) {
    double dt = DosDateTimeToDateTime(dos);
    std::time_t asUtc = std::time_t(std::llround((dt - UnixEpochDays) * 86400.0));
    std::tm tm{};
    gmtime_r(&asUtc, &tm);
    tm.tm_isdst = -1;
    return mktime(&tm); // the broken-down time is local
}

} // namespace platform
