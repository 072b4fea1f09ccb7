// Packs an XMLTV guide into the update archive: the folder 节目单 and one
// station file per channel with a programme in the window, in the order of
// the channels in the guide. The guide arrives in pieces (a file, standard
// input or a download) and is never held whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "guide/GuideTime.h"
#include "guide/GuideUnpacker.h"
#include "guide/GuideWeek.h"
#include "guide/StationPacker.h"
#include "guide/XmltvReader.h"

namespace guide {

// One station's file: its GBK name ("....txt") and its text.
struct TStationFile {
    std::string name;
    std::string text;
};

class TGuidePacker {
public:
    // texts: the station files are wanted as texts (FinishTexts), not deflated
    // for an archive.
    explicit TGuidePacker(const TGuideWindow& window, bool texts = false);

    // Throws EGuideError on a damaged guide (gzip or XML), or one larger than
    // any guide.
    void Feed(std::string_view bytes);
    // The archive's bytes. Throws EGuideError on a damaged or cut guide, or
    // one with no programme in the window.
    std::string Finish();
    // The station files in the guide's order, the texts Finish would archive.
    std::vector<TStationFile> FinishTexts();

private:
    void HandOver(TGuideChannel& channel);
    template <class Each> void EachStation(Each each);
    [[noreturn]] void NoProgramme() const;

    TGuideWeek week;
    TStationPacker stations;
    TXmltvReader reader;
    TGuideUnpacker unpacker;
    long long xmlBytes = 0;
};

// Packs the guide at path ("-": standard input).
std::string PackGuideFile(const std::string& path, const TGuideWindow& window);
// Writes the archive beside path and renames it into place once complete, so
// a failure keeps the archive that was there. Readable by all: it is meant to
// be published.
void WriteArchive(const std::string& path, const std::string& zip);

} // namespace guide
