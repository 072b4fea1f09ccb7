// The file name of each station in the archive: the station name made safe
// for a file system, in GBK, with "(2)", "(3)", ... for a name already given
// (ASCII letters compared without case, as Windows compares names).
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace guide {

class TStationFileNames {
public:
    // The GBK file name ("....txt") for a UTF-8 station name.
    std::string Add(std::string_view stationName);

private:
    std::unordered_set<std::string> taken; // folded names without ".txt"
};

// The station name with each character a file name cannot hold made "_",
// trimmed, "_" when nothing is left; GBK, "_" for each character GBK lacks.
std::string SafeGbkName(std::string_view stationName);

} // namespace guide
