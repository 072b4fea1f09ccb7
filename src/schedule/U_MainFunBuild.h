// The schedule file builder: packs a folder of station files into lastsch.sch.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Packs every *.txt file of folder (listed with mask) into a new schedule file
// at target. The new file is written beside the target and takes its place
// only when complete: a build that fails leaves the old target as it was.
// Throws EScheduleError: "无法创建文件" when the target cannot be replaced or
// the new file cannot be created or written, and a message naming the file
// when a station file cannot be read. betweenStations, when given, runs after
// each station is written: a caller on the GUI thread lets its events run
// there, so that a build of thousands of stations leaves the window live.
void BuildScheduleFile(const std::string& folder, const std::string& mask,
                       const std::string& target, double buildTime,
                       const std::function<void()>& betweenStations = {});

// A station's name (GBK, as the list shows it) and its text.
struct TStationText {
    std::string name;
    std::string text;
};
// The same build from stations in memory, in the order given.
void BuildScheduleFile(const std::vector<TStationText>& stations, const std::string& target,
                       double buildTime, const std::function<void()>& betweenStations = {});
