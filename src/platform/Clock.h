// Local clock and date conversions. A date-time is a double: days since
// 30 December 1899 00:00 local time, the fraction being the time of day.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

double Now(); // to the millisecond
std::uint32_t NowDosDateTime();
// MS-DOS date-time: date in the high word, time (2-second steps) in the low word.
std::uint32_t DateTimeToDosDateTime(double dateTime);
double DosDateTimeToDateTime(std::uint32_t dosDateTime);
// Local MS-DOS date-time to seconds since the epoch. 0 stands for 1980-01-01 00:01:00.
std::time_t DosDateTimeToUnix(std::uint32_t dosDateTime);

} // namespace platform
