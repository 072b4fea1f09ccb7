// A station's text in the form the program reads: for each day of the window
// a date line "yy/mm/dd 星期X", one "hh:mm TITLE" line per programme of that
// day in start order, then an empty line; CR LF line ends, GBK bytes.
#pragma once

#include <string>
#include <vector>

#include "guide/GuideTime.h"
#include "guide/GuideWeek.h"

namespace guide {

// Sorts the programmes by start (equal starts keep the guide's order). Titles
// GBK cannot encode hold "?" for each such character.
std::string StationText(const TGuideWindow& window, TProgrammeList& programmes);

} // namespace guide
