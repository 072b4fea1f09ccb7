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
#include "schedule/U_MainFunFolder.h"
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

int Show(const TArguments& a) {
    gbkOutput = a.Has("--gbk");
    std::unique_ptr<TScheduleObject> holder;
    TScheduleObject& schedule = OpenSchedule(a.operands[0], holder);
    const std::string wanted = GbkArgument(a.operands[1]);
    for (const TStationList::TStation s : ListStations(schedule)) {
        if (s.Name != wanted) continue;
        std::string text;
        if (!schedule.SelectStation(s.Offset) || !schedule.ReadStationText(text))
            Fail("the station's record is damaged");
        TRecords records;
        for (const ScheduleRow& row : StationRows(TextLines(text)))
            records.Add({row.Date, row.Weekday, row.Time, row.Title});
        return 0;
    }
    Fail("no such station: " + a.operands[1]);
}

// One line per match: station, date, weekday, time, title, in station order
// and line order, as the search dialog lists them.
int Search(const TArguments& a) {
    gbkOutput = a.Has("--gbk");
    std::unique_ptr<TScheduleObject> holder;
    TScheduleObject& schedule = OpenSchedule(a.operands[0], holder);
    const std::string key = GbkArgument(a.operands[1]);
    if (key.empty()) Fail("the key is empty");
    std::string_view text;
    TStationMatches found;
    TRecords records;
    for (const TStationList::TStation s : ListStations(schedule)) {
        if (!SearchScheduleStation(schedule, s.Offset, key, text, found)) {
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
