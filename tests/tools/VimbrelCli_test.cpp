// vimbrel-cli gives exactly what the program's own functions give.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "SampleSchedule.h"
#include "http/TestHttpServer.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunExport.h"
#include "schedule/U_MainFunOnAir.h"
#include "schedule/U_MainFunSearch.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"
#include "support/ICalendarReadBack.h"
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

struct ToolRun {
    int status; // 128 + the signal when one ended the tool
    QByteArray out, err;
};

// Runs a tool of the build tree (or a program named by its full path) in the
// folder cwd; stdout goes to outFile when given.
ToolRun RunProgram(const QString& tool, const QStringList& args, const QString& cwd,
                   const QString& outFile = {}) {
    QProcess p;
    p.setWorkingDirectory(cwd);
    if (!outFile.isEmpty()) p.setStandardOutputFile(outFile);
    p.start(tool.startsWith('/') ? tool : QString(VIMBREL_BIN_DIR) + "/" + tool, args);
    p.waitForFinished(60000);
    const int status = p.exitStatus() == QProcess::CrashExit ? 128 + p.exitCode() : p.exitCode();
    return {status, p.readAllStandardOutput(), p.readAllStandardError()};
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
            expectedList +=
                QByteArray::fromStdString(s.Name) + '\t' + QByteArray::number(s.Offset) + '\n';
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
    const std::string gbk = platform::QStringToGbk(QString::fromUtf8("新闻"));
    TKeyFinder key(gbk);
    {
        TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
        std::string_view text;
        TStationMatches found;
        for (auto& s : ReadStationIndex(file)) {
            ASSERT_TRUE(SearchScheduleStation(file, s.Offset, key, text, found));
            for (auto& m : found.Matches) {
                ScheduleRow r = found.Row(m);
                expected +=
                    QByteArray::fromStdString(file.StationDisplayName() + '\t' + r.Date + '\t' +
                                              r.Weekday + '\t' + r.Time + '\t' + r.Title + '\n');
            }
        }
    }
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(Cli({"--gbk", "search", schedule(), "新闻"}).out, expected);
    EXPECT_EQ(Cli({"search", schedule(), ""}).status, 1);
}

TEST_F(CliTest, NowListsWhatTheOnAirRuleFinds) {
    const char* const at = "2005-03-16 12:00";
    const QDateTime instant = QDateTime::fromString(at, "yyyy-MM-dd HH:mm");
    QByteArray expected;
    {
        TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
        std::string text;
        for (auto& s : ReadStationIndex(file)) {
            ASSERT_TRUE(file.SelectStation(s.Offset) && file.ReadStationText(text));
            // The rows and their starts as every caller of the rule has them.
            const std::vector<ScheduleRow> rows = StationRows(TextLines(text));
            const TProgrammeStarts starts = ProgrammeStarts(rows);
            const TOnAir onAir = OnAirAt(starts, instant);
            ASSERT_GE(onAir.Current, 0);
            std::string line = s.Name;
            for (int row : {onAir.Current, onAir.Next}) {
                line += '\t';
                if (row >= 0)
                    line += starts[std::size_t(row)]->toString("yyyy-MM-dd HH:mm").toStdString();
                line += '\t' + (row >= 0 ? rows[std::size_t(row)].Title : std::string());
            }
            expected += QByteArray::fromStdString(line + '\n');
        }
    }
    EXPECT_EQ(Cli({"--gbk", "now", schedule(), "--at", at}).out, expected);
    EXPECT_EQ(Cli({"now", schedule(), "--at", at}).out,
              platform::GbkToQString(expected.toStdString()).toUtf8());
    // Long after the week: nothing on, nothing next.
    const CliRun after = Cli({"now", schedule(), "--at=2030-01-01 00:00"});
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.out.count("\t\t\t\t\n"), 5);
    EXPECT_EQ(Cli({"now", schedule(), "--at", "2005-03-16"}).status, 2);
    EXPECT_EQ(Cli({"now", schedule(), "--at", "2005-03-16 25:00"}).status, 2);
}

TEST(CliNow, ALineRunsPastMidnightUnderItsDate) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("st"));
    {
        std::ofstream file(dir.file("st") + "/CCTV-5.txt", std::ios::binary);
        file << platform::QStringToGbk(
            QString::fromUtf8("26/12/08 星期二\r\n23:45 足球之夜\r\n00:20 体育新闻\r\n"
                              "00:40 赛事回放\r\n"));
    }
    const QString schedule = QString::fromStdString(dir.file("s.sch"));
    ASSERT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), schedule}).status, 0);
    EXPECT_EQ(Cli({"now", schedule, "--at", "2026-12-09 00:30"}).out,
              QString::fromUtf8("CCTV-5\t2026-12-09 00:20\t体育新闻\t2026-12-09 00:40\t赛事回放\n")
                  .toUtf8());
    EXPECT_EQ(Cli({"now", schedule, "--at", "2026-12-08 23:00"}).out,
              QString::fromUtf8("CCTV-5\t\t\t2026-12-08 23:45\t足球之夜\n").toUtf8());
}

TEST_F(CliTest, ExportWritesAStationsWeekAsCalendarOrCsv) {
    TProgrammeEvents events;
    std::string station;
    {
        TScheduleObject file(dir.file("s.sch"), TScheduleObject::fmOpen);
        const TStationEntry entry = ReadStationIndex(file)[1];
        std::string text;
        ASSERT_TRUE(file.SelectStation(entry.Offset) && file.ReadStationText(text));
        station = entry.Name;
        events = StationEvents(station, StationRows(TextLines(text)));
    }
    const QString name = platform::GbkToQString(station);
    ASSERT_EQ(events.size(), 7u * 6u);
    const CliRun csv = Cli({"export", schedule(), name, "--csv"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out.toStdString(), ExportText(events, TExportFormat::efCsv));

    const CliRun ics = Cli({"--ics", "export", schedule(), name});
    EXPECT_EQ(ics.status, 0);
    EXPECT_EQ(Cli({"export", schedule(), name}).out.size(), ics.out.size()); // the default
    const std::vector<ReadEvent> read = ReadCalendar(ics.out.toStdString());
    ASSERT_EQ(read.size(), events.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].summary, platform::GbkToUtf8(events[i].Row.Title)) << i;
        EXPECT_EQ(read[i].location, name.toStdString()) << i;
        EXPECT_EQ(read[i].start.substr(0, 13),
                  events[i].Start->toString("yyyyMMdd'T'hhmm").toStdString())
            << i;
    }
    EXPECT_EQ(Cli({"export", schedule(), name, "--ics", "--csv"}).status, 2);
    EXPECT_EQ(Cli({"export", schedule(), "没有这个台"}).status, 1);
}

// A record with a character cut at a field's end converts field by field, as
// each field converts alone: the decoder reads such a byte otherwise before a
// tab.
TEST(CliSearch, ACutCharacterConvertsAsItsFieldAlone) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("st"));
    const auto gbk = [](const char* utf8) {
        return platform::QStringToGbk(QString::fromUtf8(utf8));
    };
    const std::string cut = gbk("新闻") + "\xD0";
    WriteAll(dir.file("st/A.txt"), "05/03/14 " + gbk("星期一") + "\r\n08:00 " + cut + "\r\n09:00 " +
                                       gbk("新闻") + "\r\n");
    const QString file = QString::fromStdString(dir.file("s.sch"));
    ASSERT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), file}).status, 0);
    const std::string day = "A\t2005-03-14\t" + platform::GbkToUtf8(gbk("星期一"));
    EXPECT_EQ(Cli({"search", file, "新闻"}).out.toStdString(),
              day + "\t08:00\t" + platform::GbkToUtf8(cut) + "\n" + day + "\t09:00\t新闻\n");
}

TEST_F(CliTest, FailuresExitNonZero) {
    EXPECT_EQ(Cli({"show", schedule(), "nosuchstation"}).status, 1);
    EXPECT_EQ(Cli({"list", QString::fromStdString(dir.file("none.sch"))}).status, 1);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    TScheduleObject holder(dir.file("s.sch"), TScheduleObject::fmOpen);
    EXPECT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), schedule()}).status, 1);
}

// The conventions every tool follows: options before or after the command and
// its arguments, --help and --version on stdout with 0, a usage error as one
// line and a hint on stderr with 2, a failure as one line with 1, and never a
// file or folder made by a run that did not succeed.
struct TConventionCase {
    const char* tool;
    std::vector<const char*> args; // {FILE} a schedule file, {DIR} a folder, {PORT} in use
    int status;
    const char* out; // stdout holds this
    const char* err; // stderr holds this
    bool outToFullDisk = false;
};

// Runs one case with args filled in, in the empty folder cwd.
void ExpectConventionKept(const TConventionCase& c, const QStringList& args, const TempDir& cwd) {
    const QString tool = c.tool;
    const QString what = tool + " " + args.join(' ');
    ToolRun run = RunProgram(tool, args, QString::fromStdString(cwd.path()),
                             c.outToFullDisk ? "/dev/full" : "");
    EXPECT_EQ(run.status, c.status) << what.toStdString() << "\n" << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(c.out)) << what.toStdString() << "\n" << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(c.err)) << what.toStdString() << "\n" << run.err.toStdString();
    const QList<QByteArray> lines = run.err.split('\n');
    const int expectedLines = c.status == 0 ? 1 : c.status == 1 ? 2 : 3; // with the last end
    EXPECT_EQ(lines.size(), expectedLines) << what.toStdString() << "\n" << run.err.toStdString();
    if (c.status == 2) {
        EXPECT_EQ(lines[1], "Try '" + tool.toUtf8() + " --help' for more information.");
    }
    EXPECT_TRUE(QDir(QString::fromStdString(cwd.path())).isEmpty()) << what.toStdString();
}

TEST_F(CliTest, EveryToolFollowsTheCommandLineConventions) {
    TestHttpServer busy;
    TempDir cwd, made;
    const TConventionCase cases[] = {
        {"vimbrel-cli", {"--help"}, 0, "Usage: vimbrel-cli [--gbk] COMMAND", ""},
        {"vimbrel-cli", {"list", "-h"}, 0, "  extract ARCHIVE FOLDER [--password P]\n", ""},
        {"vimbrel-cli", {"--bogus", "--version"}, 0, "vimbrel-cli (Vimbrel) ", ""},
        {"vimbrel-cli", {}, 2, "", "no command given"},
        {"vimbrel-cli", {"frobnicate", "{FILE}"}, 2, "", "unknown command frobnicate"},
        {"vimbrel-cli", {"list"}, 2, "", "missing arguments; usage: vimbrel-cli list FILE"},
        {"vimbrel-cli", {"list", "{FILE}", "x"}, 2, "", "too many arguments"},
        {"vimbrel-cli", {"list", "--bogus", "{FILE}"}, 2, "", "unknown option --bogus"},
        {"vimbrel-cli", {"list", "{FILE}", "--proxy", "h:1"}, 2, "", "not an option of list"},
        {"vimbrel-cli", {"extract", "{FILE}", "{DIR}", "--password"}, 2, "", "needs a value (P)"},
        {"vimbrel-cli", {"--gbk=yes", "list", "{FILE}"}, 2, "", "--gbk takes no value"},
        {"vimbrel-cli", {"list", "--gbk", "{FILE}"}, 0, "\t", ""},
        {"vimbrel-cli", {"show", "{FILE}", "--", "--gbk"}, 1, "", "no such station: --gbk"},
        {"vimbrel-cli", {"list", "{DIR}/none.sch"}, 1, "", "vimbrel-cli: no such file: "},
        {"vimbrel-cli", {"list", "{FILE}"}, 1, "", "cannot write the output: ", true},
        {"vimbrel-cli", {"folder"}, 0, VIMBREL_BIN_DIR "\n", ""},
        {"vimbrel-sample", {"--help"}, 0, "Usage: vimbrel-sample", ""},
        {"vimbrel-sample", {"--version"}, 0, "vimbrel-sample (Vimbrel) ", ""},
        {"vimbrel-sample", {}, 2, "", "missing arguments"},
        {"vimbrel-sample", {"{DIR}/a", "--stations", "abc"}, 2, "", "--stations wants a whole"},
        {"vimbrel-sample", {"{DIR}/a", "--stations=0"}, 2, "", "from 1 to 100000, not '0'"},
        {"vimbrel-sample", {"{DIR}/a", "--monday", "2005-03-15"}, 2, "", "wants a Monday"},
        {"vimbrel-sample", {"{DIR}/a", "--per-day"}, 2, "", "--per-day needs a value (N)"},
        {"vimbrel-sample", {"{FILE}/a"}, 1, "", "vimbrel-sample: "},
        {"vimbrel-sample", {"--stations", "2", "{DIR}/b", "--monday=this"}, 0, "", ""},
        {"vimbrel-demo-server", {"--help"}, 0, "Usage: vimbrel-demo-server [--port N]", ""},
        {"vimbrel-demo-server", {"--version"}, 0, "vimbrel-demo-server (Vimbrel) ", ""},
        {"vimbrel-demo-server", {"--port", "65536"}, 2, "", "--port wants a whole number"},
        {"vimbrel-demo-server", {"now"}, 2, "", "too many arguments"},
        {"vimbrel-demo-server", {"--stations", "2", "--port", "{PORT}"}, 1, "", "cannot listen"},
    };
    for (const TConventionCase& c : cases) {
        QStringList args;
        for (QString a : c.args)
            args << a.replace("{FILE}", schedule())
                        .replace("{DIR}", QString::fromStdString(made.path()).chopped(1))
                        .replace("{PORT}", QString::number(busy.Port()));
        ExpectConventionKept(c, args, cwd);
    }
    EXPECT_FALSE(std::filesystem::exists(made.file("a")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(made.file("b")), {}), 2);
}

// An option may stand anywhere: the output is the same.
TEST_F(CliTest, OptionsStandBeforeOrAfterTheCommand) {
    const QByteArray first = Cli({"--gbk", "list", schedule()}).out;
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(Cli({"list", "--gbk", schedule()}).out, first);
    EXPECT_EQ(Cli({"list", schedule(), "--gbk"}).out, first);
    EXPECT_NE(Cli({"list", schedule()}).out, first); // UTF-8 without it
}

// A reader that stops early ends the tool as it ends any filter: by the
// signal of the closed pipe, with nothing on stderr.
TEST(CliPipe, AClosedPipeEndsTheToolQuietly) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("st"));
    TSampleOptions options;
    options.stations = 200; // some 360 KB of matches: far more than a pipe holds
    WriteSampleStations(dir.file("st"), options);
    const QString schedule = QString::fromStdString(dir.file("s.sch"));
    ASSERT_EQ(Cli({"build", QString::fromStdString(dir.file("st")), schedule}).status, 0);
    const QString cli = QString(VIMBREL_BIN_DIR) + "/vimbrel-cli";
    ToolRun run = RunProgram("/bin/bash",
                             {"-c",
                              "\"$0\" search \"$1\" 新闻 | head -c 1 >/dev/null; "
                              "exit ${PIPESTATUS[0]}",
                              cli, schedule},
                             QString::fromStdString(dir.path()));
    EXPECT_EQ(run.status, 128 + SIGPIPE);
    EXPECT_EQ(run.err, "");
}

TEST(CliArchive, ExtractsEveryEntryOfTheCorpus) {
    const std::string corpus = VIMBREL_CORPUS_DIR;
    for (const char* name :
         {"shrink.zip", "reduce.zip", "implode.zip", "HWSHRINK.ZIP", "HWREDUCE.ZIP", "HWIMPODE.ZIP",
          "deflate64.zip", "data_descriptor.zip", "files_and_dirs.zip"}) {
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
