#include "schedule/U_MainFunExport.h"

#include "schedule/U_MainFunCsv.h"
#include "schedule/U_MainFunICalendar.h"
#include "schedule/U_MainFunOnAir.h"

TProgrammeEvents StationEvents(const std::string& station, std::vector<ScheduleRow> rows) {
    const TProgrammeStarts starts = ProgrammeStarts(rows);
    TProgrammeEvents events;
    events.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        events.push_back({station, std::move(rows[i]), starts[i], ProgrammeEnd(starts, i)});
    return events;
}

std::string ExportText(const TProgrammeEvents& events, TExportFormat format,
                       const std::string& calendarName) {
    if (format == TExportFormat::efCsv) return CsvText(events);
    TICalendarOptions options;
    options.CalendarName = calendarName;
    return ICalendarText(events, options);
}
