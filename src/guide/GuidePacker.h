// Packs an XMLTV guide into the update archive: the folder 节目单 and one
// station file per channel with a programme in the window, in the order of
// the channels in the guide. The guide arrives in pieces (a file, standard
// input or a download) and is never held whole.
#pragma once

#include <string>
#include <string_view>

#include "guide/GuideTime.h"
#include "guide/GuideUnpacker.h"
#include "guide/GuideWeek.h"
#include "guide/StationPacker.h"
#include "guide/XmltvReader.h"

namespace guide {

class TGuidePacker {
public:
    explicit TGuidePacker(const TGuideWindow& window);

    // Throws on a damaged guide (gzip or XML).
    void Feed(std::string_view bytes);
    // The archive's bytes. Throws on a damaged or cut guide, or one with no
    // programme in the window.
    std::string Finish();

private:
    void HandOver(TGuideChannel& channel);

    TGuideWeek week;
    TStationPacker stations;
    TXmltvReader reader;
    TGuideUnpacker unpacker;
};

// Packs the guide at path ("-": standard input).
std::string PackGuideFile(const std::string& path, const TGuideWindow& window);
// Writes the archive beside path and renames it into place once complete, so
// a failure keeps the archive that was there. Readable by all: it is meant to
// be published.
void WriteArchive(const std::string& path, const std::string& zip);

} // namespace guide
