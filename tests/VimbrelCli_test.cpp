// vimbrel-cli gives exactly what the program's own functions give.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "SampleSchedule.h"
#include "U_MainFun.h"
#include "U_TvSchedule.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace {

struct CliRun {
    int status;
    QByteArray out;
};

CliRun Cli(const QStringList& args) {
    QProcess p;
    p.start(QString(VIMBREL_BIN_DIR) + "/vimbrel-cli", args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput()};
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir.file("st"));
        TSampleOptions options;
        options.stations = 5;
        options.programmesPerDay = 6;
        WriteSampleStations(dir.file("st"), options);
        ASSERT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), schedule()}).status, 0);
    }
    QString schedule() const { return QString::fromStdString(dir.file("s.sch")); }
    TempDir dir;
};

TEST_F(CliTest, ListAndShowMatchTheFunctions) {
    // The tool opens the file exclusively: read what to expect first, then
    // let the object go.
    QByteArray expectedList, expectedRows;
    std::string station;
    {
        TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
        auto stations = ReadStationIndex(file);
        ASSERT_EQ(stations.size(), 5u);
        for (auto& s : stations)
            expectedList += QByteArray::fromStdString(s.Name) + '\t' +
                            QByteArray::number(s.Offset) + '\n';
        std::string text;
        station = stations[2].Name;
        ASSERT_TRUE(file.SelectStation(stations[2].Offset) && file.ReadStationText(text));
        for (auto& r : StationRows(TextLines(text)))
            expectedRows += QByteArray::fromStdString(r.Date + '\t' + r.Weekday + '\t' + r.Time +
                                                      '\t' + r.Title + '\n');
    }
    EXPECT_EQ(Cli({"--gbk", "list", schedule()}).out, expectedList);
    CliRun shown = Cli({"show", schedule(), platform::GbkToQString(station)});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, platform::GbkToQString(expectedRows.toStdString()).toUtf8());
}

TEST_F(CliTest, FailuresExitNonZero) {
    EXPECT_EQ(Cli({"show", schedule(), "nosuchstation"}).status, 1);
    EXPECT_EQ(Cli({"list", QString::fromStdString(dir.file("none.sch"))}).status, 1);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    TScheduleObject holder(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), schedule()}).status, 1);
}

} // namespace
