// Writes a folder of sample station files.
// Usage: vimbrel-sample FOLDER [--stations N] [--seed S] [--monday YYYY-MM-DD|this]
//                              [--per-day N]
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "SampleSchedule.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vimbrel-sample FOLDER [--stations N] [--seed S] "
                             "[--monday YYYY-MM-DD|this] [--per-day N]\n");
        return 2;
    }
    TSampleOptions options;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--stations") options.stations = std::stoi(value);
        else if (flag == "--seed") options.seed = unsigned(std::stoul(value));
        else if (flag == "--per-day") options.programmesPerDay = std::stoi(value);
        else if (flag == "--monday" && value == "this") ThisWeeksMonday(options);
        else if (flag == "--monday" &&
                 std::sscanf(value.c_str(), "%d-%d-%d", &options.year, &options.month,
                             &options.day) == 3) {
        } else {
            std::fprintf(stderr, "vimbrel-sample: bad option %s %s\n", flag.c_str(), value.c_str());
            return 2;
        }
    }
    std::filesystem::create_directories(argv[1]);
    WriteSampleStations(argv[1], options);
    return 0;
}
