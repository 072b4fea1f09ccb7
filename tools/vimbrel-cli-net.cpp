// vimbrel-cli-net: vimbrel-cli's fetch and xmltv, which vimbrel-cli runs in
// this program (NetHelper.h) with its own arguments. It speaks as vimbrel-cli:
// its errors and exit statuses are that program's.
#include <QCoreApplication>
#include <QDate>
#include <cstdio>
#include <optional>

#include "CommandLine.h"
#include "NetHelper.h"

#include "guide/GuidePacker.h"
#include "http/U_HttpGet.h"
#include "http/WinInet.h"

namespace {

int Fetch(const TArguments& a) {
    platform::InternetInitialize(); // before the download's thread starts
    TTvHttpGet http;
    http.URL = a.operands[0];
    http.FileName = a.operands[1];
    http.UseProxy = a.Has("--proxy");
    http.ProxyServer = a.Value("--proxy");
    http.WaitThread = true;
    int status = 1;
    http.OnDoneFile = [&](QObject*, const std::string&, std::int32_t) { status = 0; };
    http.OnError = [&](QObject*) { std::fprintf(stderr, "vimbrel-cli: download failed\n"); };
    http.StartDownload();
    return status;
}

// The window of "xmltv": its options, or this week's Monday at +08:00 for 7 days.
guide::TGuideWindow XmltvWindow(const TArguments& a) {
    guide::TGuideWindow window;
    if (a.Has("--utc-offset")) {
        const std::optional<int> offset = guide::ParseUtcOffset(a.Value("--utc-offset"));
        if (!offset) throw EUsageError("--utc-offset needs +HH:MM or -HH:MM");
        window.offsetMinutes = *offset;
    }
    window.days = int(a.Number("--days", window.days, 1, 366));
    if (!a.Has("--from")) {
        window.from = guide::ThisWeeksMonday(window.offsetMinutes);
    } else if (const std::optional<QDate> from = guide::ParseDate(a.Value("--from"))) {
        window.from = *from;
    } else {
        throw EUsageError("--from needs a date YYYY-MM-DD");
    }
    return window;
}

int Xmltv(const TArguments& a) {
    const guide::TGuideWindow window = XmltvWindow(a);
    guide::WriteArchive(a.operands[1], guide::PackGuideFile(a.operands[0], window));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The download's thread and the guide packer let events run.
    QCoreApplication app(argc, argv);
    static const TTool tool{
        "vimbrel-cli",
        "Runs vimbrel-cli's fetch and xmltv.",
        {{"--gbk", "print station names and programme texts as GBK bytes, unchanged"}},
        {
            {FetchUsage, "download URL into FILE", Fetch},
            {XmltvUsage,
             "pack an XMLTV guide (plain or gzip; - reads standard input) into an update archive",
             Xmltv},
        }};
    return RunTool(tool, argc, argv);
}
