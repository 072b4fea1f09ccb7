#include "DemoArchive.h"

#include <cstdint>

#include "guide/ZipWriter.h"

void AddSampleStations(guide::TZipWriter& zip, const TSampleOptions& options) {
    const std::string folder = "\xBD\xDA\xC4\xBF\xB5\xA5/"; // 节目单 in GBK
    zip.AddFolder(folder);
    for (int i = 0; i < options.stations; ++i)
        zip.AddFile(folder + SampleStationName(options, i) + ".txt", SampleStationText(options, i));
}

std::string MakeShowtimeZip(const TSampleOptions& options) {
    // Every entry is dated the week's Monday, midnight.
    const std::uint32_t dosDate =
        std::uint32_t((options.year - 1980) << 9 | options.month << 5 | options.day);
    guide::TZipWriter zip(dosDate << 16);
    AddSampleStations(zip, options);
    return zip.Finish();
}
