// A sample XMLTV guide made from the sample stations' week, for tests and the
// converter's benchmark: every programme line of SampleStationText becomes a
// programme whose start is written at one of several UTC offsets, so that
// converting the guide to +08:00 gives the station texts back.
#pragma once

#include <ostream>

#include "SampleSchedule.h"

struct TSampleGuideOptions {
    TSampleOptions stations;
    bool reversed = false; // each channel's programmes last to first
    bool details = false;  // stop times and descriptions, as real guides have
};

// Writes the guide as UTF-8 XML.
void WriteSampleGuide(std::ostream& out, const TSampleGuideOptions& options);
