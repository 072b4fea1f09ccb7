// vimbrel-cli gives exactly what the program's own functions give.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "SampleSchedule.h"
#include "http/TestHttpServer.h"
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

TEST_F(CliTest, SearchListsWhatTheMatcherFinds) {
    QByteArray expected;
    const std::string key = platform::QStringToGbk(QString::fromUtf8("新闻"));
    {
        TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
        std::string buffer;
        TLines lines;
        TStationMatches found;
        for (auto& s : ReadStationIndex(file)) {
            ASSERT_TRUE(SearchScheduleStation(file, s.Offset, key, buffer, lines, found));
            for (auto& m : found.Matches) {
                ScheduleRow r = found.Row(m);
                expected += QByteArray::fromStdString(file.StationDisplayName() + '\t' + r.Date +
                                                      '\t' + r.Weekday + '\t' + r.Time + '\t' +
                                                      r.Title + '\n');
            }
        }
    }
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(Cli({"--gbk", "search", schedule(), "新闻"}).out, expected);
    EXPECT_EQ(Cli({"search", schedule(), ""}).status, 1);
}

TEST_F(CliTest, FailuresExitNonZero) {
    EXPECT_EQ(Cli({"show", schedule(), "nosuchstation"}).status, 1);
    EXPECT_EQ(Cli({"list", QString::fromStdString(dir.file("none.sch"))}).status, 1);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    TScheduleObject holder(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), schedule()}).status, 1);
}

TEST(CliArchive, ExtractsEveryEntryOfTheCorpus) {
    const std::string corpus = VIMBREL_CORPUS_DIR;
    for (const char* name : {"shrink.zip", "reduce.zip", "implode.zip", "HWSHRINK.ZIP",
                             "HWREDUCE.ZIP", "HWIMPODE.ZIP", "deflate64.zip",
                             "data_descriptor.zip", "files_and_dirs.zip"}) {
        TempDir out;
        CliRun run = Cli({"extract", QString::fromStdString(corpus + "/" + name),
                          QString::fromStdString(out.path())});
        EXPECT_EQ(run.status, 0) << name;
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        ASSERT_GE(lines.size(), 2) << name;
        int ends = 0;
        for (const QByteArray& line : lines) {
            if (line.startsWith("end\t")) {
                ++ends;
                EXPECT_TRUE(line.endsWith("\t1")) << name << ": " << line.toStdString();
                EXPECT_TRUE(line.contains(out.path().c_str())) << line.toStdString();
            }
            EXPECT_FALSE(line.startsWith("error")) << name << ": " << line.toStdString();
        }
        EXPECT_GT(ends, 0) << name;
        EXPECT_TRUE(lines.back().startsWith("files\t")) << name;
    }
}

TEST(CliArchive, MissingArchiveReportsFileNotFound) {
    TempDir out;
    CliRun run = Cli({"extract", QString::fromStdString(out.file("none.zip")),
                      QString::fromStdString(out.path())});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "error\t25192\t\t\nfiles\t0\n");
}

TEST(CliFetch, ExitStatusFollowsTheOutcome) {
    TestHttpServer server;
    TestReply reply;
    reply.body = "archive bytes";
    server.SetReply(reply);
    TempDir dir;
    const QString proxy = "127.0.0.1:" + QString::number(server.Port());
    const QString file = QString::fromStdString(dir.file("got"));
    EXPECT_EQ(Cli({"fetch", "somehost/download/showtime.zip", file, "--proxy", proxy}).status, 0);
    EXPECT_EQ(ReadAll(dir.file("got")), "archive bytes");
    reply.statusLine = "HTTP/1.0 404 Not Found";
    server.SetReply(reply);
    EXPECT_EQ(Cli({"fetch", "somehost/x", file, "--proxy", proxy}).status, 1);
}

} // namespace
