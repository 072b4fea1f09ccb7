// Sample schedules for tests, benchmarks and the demo: deterministic for a
// seed, realistic Chinese station names and programme titles, GBK text with
// CR LF line ends, a week from a given Monday.
#pragma once

#include <string>
#include <vector>

struct TSampleOptions {
    int stations = 30;
    unsigned seed = 1;
    int year = 2005, month = 3, day = 14; // the Monday the week starts on
    int programmesPerDay = 40;
};

// The Monday of the week that holds today (local time).
void ThisWeeksMonday(TSampleOptions& options);

// A unique station name (GBK bytes) for index i.
std::string SampleStationName(const TSampleOptions& options, int index);
// The week of one station (GBK bytes): "05/03/14 星期一" date lines and
// "08:00 新闻联播" programme lines, CR LF.
std::string SampleStationText(const TSampleOptions& options, int index);
// Writes options.stations files "<name>.txt" (native file names) into folder,
// which must exist. Gives the GBK names in index order.
std::vector<std::string> WriteSampleStations(const std::string& folder,
                                             const TSampleOptions& options);
