// Programmes as CSV (RFC 4180): UTF-8, a header row, one row per programme
// (station, date, weekday, time, title), CR LF after every row; a field that
// holds a comma, a quote or a line break is quoted, its quotes doubled.
#pragma once

#include <string>
#include <string_view>

#include "schedule/U_MainFunExport.h"

std::string CsvText(const TProgrammeEvents& events);
// Appends one field (UTF-8), quoted where it must be.
void AppendCsvField(std::string_view field, std::string& out);
