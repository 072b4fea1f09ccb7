// The schedule archive the update server hands out: showtime.zip with one
// deflated GBK text file per station in the folder 节目单 (GBK names).
#pragma once

#include <string>

#include "SampleSchedule.h"
#include "guide/ZipWriter.h"

// A ZIP archive (bytes) of the stations options describes.
std::string MakeShowtimeZip(const TSampleOptions& options);
// The writer of such an archive, its folder and stations added: tests add
// entries of their own before they finish it.
void AddSampleStations(guide::TZipWriter& zip, const TSampleOptions& options);
