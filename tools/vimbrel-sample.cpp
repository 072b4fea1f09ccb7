// Writes a folder of sample station files.
#include <QCoreApplication>
#include <QDate>
#include <climits>
#include <filesystem>
#include <string>

#include "CommandLine.h"
#include "SampleSchedule.h"

namespace {

// The week starts on the Monday given, or on this week's.
void TakeMonday(const std::string& text, TSampleOptions& options) {
    if (text == "this") return ThisWeeksMonday(options);
    const QDate date = QDate::fromString(QString::fromStdString(text), Qt::ISODate);
    if (!date.isValid() || date.dayOfWeek() != 1)
        throw EUsageError("--monday wants a Monday as YYYY-MM-DD, or this, not '" + text + "'");
    options.year = date.year();
    options.month = date.month();
    options.day = date.day();
}

int Sample(const TArguments& a) {
    TSampleOptions options;
    options.stations = int(a.Number("--stations", options.stations, 1, 100000));
    options.seed = unsigned(a.Number("--seed", options.seed, 0, UINT_MAX));
    options.programmesPerDay = int(a.Number("--per-day", options.programmesPerDay, 1, 1000));
    if (a.Has("--monday")) TakeMonday(a.Value("--monday"), options);
    std::filesystem::create_directories(a.operands[0]);
    WriteSampleStations(a.operands[0], options);
    return 0;
}

const TTool& Tool() {
    static const TTool tool{
        "vimbrel-sample",
        "Writes sample station files, GBK text in the station format, a week of programmes each.",
        {
            {"--stations N", "how many stations (30)"},
            {"--seed S", "the seed of the titles (1)"},
            {"--monday YYYY-MM-DD|this", "the Monday the week starts on (2005-03-14)"},
            {"--per-day N", "programmes per day (40)"},
        },
        {{"FOLDER", "", Sample}}};
    return tool;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return RunTool(Tool(), argc, argv);
}
