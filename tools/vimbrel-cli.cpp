// vimbrel-cli: the program's own functions on the command line, for users,
// scripts and acceptance tests. Output is UTF-8 (GBK bytes unchanged with
// --gbk), one record per line, fields separated by tabs.
#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "U_HttpGet.h"
#include "U_MainFun.h"
#include "archive/TUnZip.h"
#include "U_TvSchedule.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/WinInet.h"

namespace {

bool gbkOutput = false;

std::string Out(std::string_view gbk) {
    return gbkOutput ? std::string(gbk) : platform::GbkToUtf8(gbk);
}

void PrintFields(const std::vector<std::string_view>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) line += '\t';
        line += Out(fields[i]);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "vimbrel-cli: %s\n", message.c_str());
    std::exit(1);
}

// A station named on the command line (native text) in GBK bytes.
std::string GbkArgument(const char* text) {
    bool ok = true;
    std::string gbk = platform::NativeToGbk(text, &ok);
    if (!ok) Fail(std::string("cannot be written in GBK: ") + text);
    return gbk;
}

TScheduleObject& OpenSchedule(const std::string& path, std::unique_ptr<TScheduleObject>& holder) {
    if (!platform::FileExists(path)) Fail("no such file: " + path);
    holder = std::make_unique<TScheduleObject>(path, TScheduleObject::fmOpen);
    if (!holder->HasFile()) Fail("cannot open (held by another program?): " + path);
    return *holder;
}

int Build(const std::vector<const char*>& args) {
    BuildScheduleFile(args[0], "*.*", args[1], platform::Now());
    return 0;
}

int List(const std::vector<const char*>& args) {
    std::unique_ptr<TScheduleObject> holder;
    for (const TStationEntry& s : ReadStationIndex(OpenSchedule(args[0], holder))) {
        std::string offset = std::to_string(s.Offset);
        PrintFields({s.Name, offset});
    }
    return 0;
}

int Show(const std::vector<const char*>& args) {
    std::unique_ptr<TScheduleObject> holder;
    TScheduleObject& schedule = OpenSchedule(args[0], holder);
    const std::string wanted = GbkArgument(args[1]);
    for (const TStationEntry& s : ReadStationIndex(schedule)) {
        if (s.Name != wanted) continue;
        std::string text;
        if (!schedule.SelectStation(s.Offset) || !schedule.ReadStationText(text))
            Fail("the station's record is damaged");
        for (const ScheduleRow& row : StationRows(TextLines(text)))
            PrintFields({row.Date, row.Weekday, row.Time, row.Title});
        return 0;
    }
    Fail("no such station: " + std::string(args[1]));
}

// One line per match: station, date, weekday, time, title, in station order
// and line order, as the search dialog lists them.
int Search(const std::vector<const char*>& args) {
    std::unique_ptr<TScheduleObject> holder;
    TScheduleObject& schedule = OpenSchedule(args[0], holder);
    const std::string key = GbkArgument(args[1]);
    if (key.empty()) Fail("the key is empty");
    std::string buffer;
    TLines lines;
    TStationMatches found;
    for (const TStationEntry& s : ReadStationIndex(schedule)) {
        if (!SearchScheduleStation(schedule, s.Offset, key, buffer, lines, found))
            Fail("cannot read the station " + Out(s.Name));
        const std::string name = schedule.StationDisplayName();
        for (const TStationMatches::TMatch& m : found.Matches) {
            ScheduleRow row = found.Row(m);
            PrintFields({name, row.Date, row.Weekday, row.Time, row.Title});
        }
    }
    return 0;
}

// Prints one line per entry end and per error, then the count of files.
int Extract(const std::vector<const char*>& args) {
    archive::TUnZip unzip;
    if (args.size() >= 4 && std::string(args[2]) == "--password") unzip.Passwords().Add(args[3]);
    else if (args.size() > 2) Fail("usage: extract ARCHIVE FOLDER [--password P]");
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
    unzip.SetArchiveFile(args[0]);
    unzip.FileSpec().Clear();
    unzip.FileSpec().Add("*.*");
    unzip.SetExtractDir(args[1]);
    std::printf("files\t%d\n", unzip.Extract());
    return ok ? 0 : 1;
}

int Fetch(const std::vector<const char*>& args) {
    TTvHttpGet http;
    http.URL = args[0];
    http.FileName = args[1];
    if (args.size() >= 4 && std::string(args[2]) == "--proxy") {
        http.UseProxy = true;
        http.ProxyServer = args[3];
    } else if (args.size() > 2) {
        Fail("usage: fetch URL FILE [--proxy HOST:PORT]");
    }
    http.WaitThread = true;
    int status = 1;
    http.OnDoneFile = [&](QObject*, const std::string&, std::int32_t) { status = 0; };
    http.OnError = [&](QObject*) { std::fprintf(stderr, "vimbrel-cli: download failed\n"); };
    http.StartDownload();
    return status;
}

struct Command {
    std::size_t minArgs;
    const char* usage;
    std::function<int(const std::vector<const char*>&)> run;
};

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"build", {2, "build FOLDER TARGET", Build}},
        {"list", {1, "list FILE", List}},
        {"show", {2, "show FILE STATION", Show}},
        {"search", {2, "search FILE KEY", Search}},
        {"extract", {2, "extract ARCHIVE FOLDER [--password P]", Extract}},
        {"fetch", {2, "fetch URL FILE [--proxy HOST:PORT]", Fetch}},
    };
    return commands;
}

int Usage() {
    std::fprintf(stderr, "usage: vimbrel-cli [--gbk] COMMAND ARGS\n");
    for (auto& [name, command] : Commands()) std::fprintf(stderr, "  %s\n", command.usage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    platform::InternetInitialize();
    QCoreApplication app(argc, argv);
    std::vector<const char*> args(argv + 1, argv + argc);
    if (!args.empty() && std::string(args[0]) == "--gbk") {
        gbkOutput = true;
        args.erase(args.begin());
    }
    if (args.empty()) return Usage();
    auto it = Commands().find(args[0]);
    args.erase(args.begin());
    if (it == Commands().end() || args.size() < it->second.minArgs) return Usage();
    try {
        return it->second.run(args);
    } catch (const std::exception& e) {
        Fail(e.what());
    }
}
