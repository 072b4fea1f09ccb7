// The schedule archive the update server hands out: showtime.zip with one
// deflated GBK text file per station in the folder 节目单 (GBK names).
#pragma once

#include <string>

#include "SampleSchedule.h"

// A ZIP archive (bytes) of the stations options describes.
std::string MakeShowtimeZip(const TSampleOptions& options);
