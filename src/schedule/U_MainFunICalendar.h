// Programmes as an iCalendar file (RFC 5545), written by libical, which does
// the escaping, the line folding and the time zone: one VEVENT per programme
// that has a start, from its start to its end, the title as its summary and
// the station as its location, in a time zone the file declares.
#pragma once

#include <string>

#include "schedule/U_MainFunExport.h"

struct TICalendarOptions {
    // An alarm this many minutes before each start; none when below 0.
    int AlarmMinutes = -1;
    // The IANA id of the zone the local times are in; empty for the
    // computer's. A zone libical does not know has the times written in UTC.
    std::string TimeZone;
    std::string CalendarName; // UTF-8; none when empty
};

std::string ICalendarText(const TProgrammeEvents& events, const TICalendarOptions& options = {});
