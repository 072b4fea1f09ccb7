// Programmes as they leave the program: a station's rows with their starts
// and ends by the on-air rule, written as an iCalendar file or as CSV.
#pragma once

#include <QDateTime>
#include <optional>
#include <string>
#include <vector>

#include "schedule/U_MainFunText.h"

struct TProgrammeEvent {
    std::string Station; // GBK, as every text of Row
    ScheduleRow Row;
    // Local time; none for a row without a valid date or time.
    std::optional<QDateTime> Start, End;
};
using TProgrammeEvents = std::vector<TProgrammeEvent>;

// The events of one station's rows, in their order.
TProgrammeEvents StationEvents(const std::string& station, std::vector<ScheduleRow> rows);

enum class TExportFormat { efICalendar, efCsv };

// The text of a file of the events in a format (UTF-8). A calendar holds the
// events that have a start, titled calendarName when one is given.
std::string ExportText(const TProgrammeEvents& events, TExportFormat format,
                       const std::string& calendarName = {});
