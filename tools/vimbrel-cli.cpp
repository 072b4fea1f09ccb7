// vimbrel-cli: the program's own functions on the command line, for users,
// scripts and acceptance tests. Output is UTF-8 (GBK bytes unchanged with
// --gbk), one record per line, fields separated by tabs.
#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "NetHelper.h"
#include "archive/TUnZip.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunExport.h"
#include "schedule/U_MainFunFolder.h"
#include "schedule/U_MainFunOnAir.h"
#include "schedule/U_MainFunSearch.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"

namespace {

bool gbkOutput = false; // --gbk, set by the commands that print station text

std::string Out(std::string_view gbk) {
    return gbkOutput ? std::string(gbk) : platform::GbkToUtf8(gbk);
}

// Standard output, one record of tab-separated fields a line, gathered in a
// block written in large writes. A line written at a time and every field
// converted through the decoder were most of the cost of a search with many
// matches; the table gives the same bytes. A record goes through the table
// whole; one the table does not know goes field by field, as the decoder
// reads a cut character at a field's end otherwise than before a tab.
class TRecords {
public:
    ~TRecords() { Flush(); }
    void Add(std::initializer_list<std::string_view> fields) {
        line.clear();
        for (const std::string_view* field = fields.begin(); field != fields.end(); ++field) {
            if (field != fields.begin()) line += '\t';
            line += *field;
        }
        line += '\n';
        if (gbkOutput) {
            block += line;
        } else if (!Table().AppendByTable(line, block)) {
            for (const std::string_view* field = fields.begin(); field != fields.end(); ++field) {
                if (field != fields.begin()) block += '\t';
                Table().Append(*field, block);
            }
            block += '\n';
        }
        if (block.size() >= BlockSize) Flush();
    }
    void Flush() {
        std::fwrite(block.data(), 1, block.size(), stdout);
        block.clear();
    }

private:
    static constexpr std::size_t BlockSize = 64 * 1024;
    platform::GbkToUtf8Table& Table() {
        if (!table) table.emplace(); // GBK output needs none
        return *table;
    }
    std::string line, block;
    std::optional<platform::GbkToUtf8Table> table;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "vimbrel-cli: %s\n", message.c_str());
    std::exit(1);
}

// A station named on the command line (native text) in GBK bytes.
std::string GbkArgument(const std::string& text) {
    bool ok = true;
    std::string gbk = platform::NativeToGbk(text, &ok);
    if (!ok) Fail("cannot be written in GBK: " + text);
    return gbk;
}

TScheduleObject& OpenSchedule(const std::string& path, std::unique_ptr<TScheduleObject>& holder) {
    if (!platform::FileExists(path)) Fail("no such file: " + path);
    holder = std::make_unique<TScheduleObject>(path, TScheduleObject::fmOpen);
    if (!holder->HasFile()) Fail("cannot open (held by another program?): " + path);
    return *holder;
}

int Build(const TArguments& a) {
    BuildScheduleFile(a.operands[0], "*.*", a.operands[1], platform::Now());
    return 0;
}

int List(const TArguments& a) {
    gbkOutput = a.Has("--gbk");
    std::unique_ptr<TScheduleObject> holder;
    TRecords records;
    for (const TStationList::TStation s : ListStations(OpenSchedule(a.operands[0], holder)))
        records.Add({s.Name, std::to_string(s.Offset)});
    return 0;
}

// The text of the station named on the command line; fails when the file
// has no such station or its record is damaged.
std::string NamedStationText(TScheduleObject& schedule, const std::string& name) {
    const std::string wanted = GbkArgument(name);
    for (const TStationList::TStation s : ListStations(schedule)) {
        if (s.Name != wanted) continue;
        std::string text;
        if (!schedule.SelectStation(s.Offset) || !schedule.ReadStationText(text))
            Fail("the station's record is damaged");
        return text;
    }
    Fail("no such station: " + name);
}

int Show(const TArguments& a) {
    gbkOutput = a.Has("--gbk");
    std::unique_ptr<TScheduleObject> holder;
    const std::string text = NamedStationText(OpenSchedule(a.operands[0], holder), a.operands[1]);
    TRecords records;
    for (const ScheduleRow& row : StationRows(TextLines(text)))
        records.Add({row.Date, row.Weekday, row.Time, row.Title});
    return 0;
}

// One line per match: station, date, weekday, time, title, in station order
// and line order, as the search dialog lists them.
int Search(const TArguments& a) {
    gbkOutput = a.Has("--gbk");
    std::unique_ptr<TScheduleObject> holder;
    TScheduleObject& schedule = OpenSchedule(a.operands[0], holder);
    const std::string key = GbkArgument(a.operands[1]);
    if (key.empty()) Fail("the key is empty");
    TKeyFinder finder(key);
    std::string_view text;
    TStationMatches found;
    TRecords records;
    for (const TStationList::TStation s : ListStations(schedule)) {
        if (!SearchScheduleStation(schedule, s.Offset, finder, text, found)) {
            records.Flush(); // the rows found so far come first
            Fail("cannot read the station " + Out(s.Name));
        }
        const std::string name = schedule.StationDisplayName();
        for (const TStationMatches::TMatch& m : found.Matches) {
            const TStationMatches::TDay& day = found.Days[m.Day];
            records.Add(
                {name, day.Date, day.Weekday, ProgrammeTime(m.Line), ProgrammeTitle(m.Line)});
        }
    }
    return 0;
}

// The instant of --at, local time, or now.
TStartMinute NowArgument(const TArguments& a) {
    if (!a.Has("--at")) return StartMinute(QDateTime::currentDateTime());
    const QString text = QString::fromLocal8Bit(a.Value("--at"));
    const QDateTime at = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!at.isValid())
        throw EUsageError("--at wants YYYY-MM-DD HH:MM, not '" + a.Value("--at") + "'");
    return StartMinute(at);
}

// A start as YYYY-MM-DD HH:MM; empty for none. From the minute's own parts:
// a QDateTime would ask the time zone for each.
std::string StartText(TStartMinute start) {
    if (start == NoStart) return {};
    const QDate day = QDate::fromJulianDay(start / 1440);
    const int minute = int(start % 1440);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", day.year(), day.month(), day.day(),
                  minute / 60, minute % 60);
    return text;
}

// One line per station, in file order: the programme on air and the next one,
// each as its start and title, empty where there is none.
int Now(const TArguments& a) {
    gbkOutput = a.Has("--gbk");
    const TStartMinute at = NowArgument(a);
    std::unique_ptr<TScheduleObject> holder;
    TScheduleObject& schedule = OpenSchedule(a.operands[0], holder);
    TRecords records;
    std::string_view text;
    TStationWeek week;
    for (const TStationEntry& s : ReadStationIndex(schedule)) {
        if (!schedule.ReadStation(s.Offset, text)) {
            records.Flush();
            Fail("cannot read the station " + Out(s.Name));
        }
        ReadStationWeek(std::string(text), week);
        const TOnAir onAir = OnAirAt(week.Starts, at);
        const auto start = [&](int row) {
            return row < 0 ? std::string() : StartText(week.Starts[std::size_t(row)]);
        };
        const auto title = [&](int row) {
            return row < 0 ? std::string_view() : week.Title(std::size_t(row));
        };
        records.Add({s.Name, start(onAir.Current), title(onAir.Current), start(onAir.Next),
                     title(onAir.Next)});
    }
    return 0;
}

// A station's week as a file, on standard output: an iCalendar file, or CSV
// with --csv. Both are UTF-8 whatever --gbk says: their formats say so.
int Export(const TArguments& a) {
    if (a.Has("--ics") && a.Has("--csv")) throw EUsageError("give --ics or --csv, not both");
    std::unique_ptr<TScheduleObject> holder;
    const std::string text = NamedStationText(OpenSchedule(a.operands[0], holder), a.operands[1]);
    const std::string station = GbkArgument(a.operands[1]);
    const std::string file =
        ExportText(StationEvents(station, StationRows(TextLines(text))),
                   a.Has("--csv") ? TExportFormat::efCsv : TExportFormat::efICalendar,
                   platform::GbkToUtf8(station));
    std::fwrite(file.data(), 1, file.size(), stdout);
    return 0;
}

// Prints one line per entry end and per error, then the count of files.
int Extract(const TArguments& a) {
    archive::TUnZip unzip;
    if (a.Has("--password")) unzip.Passwords().Add(a.Value("--password"));
    bool ok = true;
    unzip.OnEnd = [&](QObject*, const std::string& path, bool pass) {
        ok = ok && pass;
        std::printf("end\t%s\t%d\n", platform::NativePath(path).c_str(), pass ? 1 : 0);
    };
    unzip.OnError = [&](QObject*, const std::string& name, const std::string& extended,
                        const std::string&, int code) {
        ok = false;
        std::printf("error\t%d\t%s\t%s\n", code, platform::NativePath(name).c_str(),
                    extended.c_str());
    };
    unzip.SetArchiveFile(a.operands[0]);
    unzip.FileSpec().Clear();
    unzip.FileSpec().Add("*.*");
    unzip.SetExtractDir(a.operands[1]);
    std::printf("files\t%d\n", unzip.Extract());
    return ok ? 0 : 1;
}

// Where the program beside this tool keeps lastsch.sch, showtime.zip and 节目单.
int Folder(const TArguments&) {
    const std::string& folder = ProgramFolder();
    std::printf("%s\n", folder.substr(0, folder.size() - 1).c_str());
    return 0;
}

int gArgc = 0; // for Qt's application object
char** gArgv = nullptr;

// Qt's application object, for the commands that run threads or let events
// run (the extraction, the download, the guide packer) and those that always
// had it. The readers of a schedule need none: making it costs a start-up's
// worth of time.
TCommand::TRun WithApplication(TCommand::TRun run) {
    return [run](const TArguments& a) {
        QCoreApplication app(gArgc, gArgv);
        return run(a);
    };
}

// fetch and xmltv: the helper parses the same arguments again and runs them.
int RunInHelper(const TArguments&) {
    RunNetHelper(gArgv + 1);
}

const TTool& Tool() {
    static const TTool tool{
        "vimbrel-cli",
        "Runs Vimbrel's own functions. Output is UTF-8, one record per line, fields separated by "
        "tabs.",
        {{"--gbk", "print station names and programme texts as GBK bytes, unchanged"}},
        {
            {"build FOLDER TARGET", "pack the station files of FOLDER into a schedule file",
             WithApplication(Build)},
            {"list FILE", "list the stations of a schedule file: name, record offset", List},
            {"show FILE STATION", "list a station's programmes: date, weekday, time, title", Show},
            {"search FILE KEY", "list the programmes that hold KEY, with their station", Search},
            {"now FILE [--at \"YYYY-MM-DD HH:MM\"]",
             "list what is on air on every station and what comes next: station, start, title, "
             "next start, next title",
             Now},
            {"export FILE STATION [--ics] [--csv]",
             "write a station's week as an iCalendar file (--ics, the default) or as CSV (--csv)",
             Export},
            {"extract ARCHIVE FOLDER [--password P]", "extract a ZIP archive below FOLDER",
             WithApplication(Extract)},
            {FetchUsage, "download URL into FILE", RunInHelper},
            {XmltvUsage,
             "pack an XMLTV guide (plain or gzip; - reads standard input) into an update archive",
             RunInHelper},
            {"folder", "print where vimbrel keeps lastsch.sch, showtime.zip and 节目单",
             WithApplication(Folder)},
        }};
    return tool;
}

} // namespace

int main(int argc, char** argv) {
    gArgc = argc;
    gArgv = argv;
    // The user's locale, as Qt's application object sets it, for every command.
    std::setlocale(LC_ALL, "");
    return RunTool(Tool(), argc, argv);
}
