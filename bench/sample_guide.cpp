// Writes the converter benchmark's guide: the sample stations' week as XMLTV
// with stop times and descriptions, deterministic for its options.
// Usage: vimbrel-sample-guide FILE [--stations N] [--per-day N]
#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <string>

#include "SampleGuide.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TSampleGuideOptions options;
    options.details = true;
    options.stations.stations = 1500;
    options.stations.programmesPerDay = 19;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--stations")
            options.stations.stations = std::stoi(argv[i + 1]);
        else if (flag == "--per-day")
            options.stations.programmesPerDay = std::stoi(argv[i + 1]);
    }
    if (argc < 2 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: vimbrel-sample-guide FILE [--stations N] [--per-day N]\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    WriteSampleGuide(out, options);
    out.close();
    if (!out) {
        std::fprintf(stderr, "vimbrel-sample-guide: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
