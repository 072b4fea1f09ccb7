// Programme search over a generated 3,000-station schedule (about 20 KB a
// station), beside `LC_ALL=C grep -F -c` over the same station texts as files.
//
//   build/bench/bin/search_bench
//
// Keys: a title in 6 stations (RareKey), 电视剧 in a quarter of all
// programme lines (about 630,000 rows), ":" in every one (2,520,000 rows).
// Search/*: the search core (read each record, test its programme lines).
// Matcher/*: the dialog's matcher over every station text held in memory,
//           beside Memmem/*, glibc's memmem finding every occurrence of the
//           key in the same texts.
// Grep/*:   grep run through popen, its output read from the pipe.
// Dialog/*: the search dialog end to end, from the click on 搜索 to 搜索完毕,
//           with a timer on the GUI thread noting the longest time the event
//           loop went without turning (max_gap_ms), the first search's time
//           (first_ms) and the median of the later ones (later_median_ms).
//           On a virtual machine the first search of a run can take twice
//           as long or more: the rows are kept in memory the process has not
//           touched before, and there the host's own first touch shows up as
//           time spent clearing pages (clear_page_erms in perf).
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "SampleSchedule.h"
#include "gui/U_FrmSearch.h"
#include "gui/U_MainFunGui.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_TvSchedule.h"

namespace {

constexpr int StationCount = 3000;
constexpr int RareEvery = 500; // one station in so many holds the rare title

std::string Gbk(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

const std::string RareKey = Gbk("雍正王朝");
const std::string QuarterKey = Gbk("电视剧"); // a quarter of all titles
const std::string EveryLineKey = ":";

// The station files and the schedule built from them, made once per run.
struct TBenchSchedule {
    std::string folder, stations, file;
    std::int64_t textBytes = 0;

    TBenchSchedule() {
        char tmpl[] = "/tmp/vimbrel-search-bench-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
        folder = std::string(tmpl) + "/";
        stations = folder + "stations/";
        file = folder + "lastsch.sch";
        std::filesystem::create_directories(stations);
        TSampleOptions options;
        options.stations = StationCount;
        options.programmesPerDay = 120;
        for (int i = 0; i < StationCount; ++i) {
            std::string text = SampleStationText(options, i);
            if (i % RareEvery == 0) text += "23:50 " + RareKey + "\r\n";
            textBytes += std::int64_t(text.size());
            std::ofstream out(stations + platform::GbkToUtf8(SampleStationName(options, i)) +
                                  ".txt",
                              std::ios::binary);
            out.write(text.data(), std::streamsize(text.size()));
        }
        BuildScheduleFile(stations, "*.*", file, 38425.5);
    }
    ~TBenchSchedule() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

TBenchSchedule& Schedule() {
    static TBenchSchedule schedule;
    return schedule;
}

void Search(benchmark::State& state, const std::string& key) {
    TScheduleObject schedule(Schedule().file, TScheduleObject::fmOpen);
    std::vector<TStationEntry> stations = ReadStationIndex(schedule);
    TStationMatches found;
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = 0;
        // As the worker does: a batch of rows per station that has any.
        TKeyFinder finder(key);
        std::string_view text;
        std::vector<TSearchBatchPtr> batches;
        for (const TStationEntry& station : stations) {
            SearchScheduleStation(schedule, station.Offset, finder, text, found);
            if (found.Matches.empty()) continue;
            batches.push_back(
                std::make_shared<const TSearchBatch>(schedule.StationDisplayName(), found, text));
            rows += found.Matches.size();
        }
        benchmark::DoNotOptimize(batches);
        state.PauseTiming(); // the dialog frees its rows when the next search starts
        batches.clear();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(state.iterations() * Schedule().textBytes);
}

// Every station's text, read once and held in memory.
const std::vector<std::string>& StationTexts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> all;
        TScheduleObject schedule(Schedule().file, TScheduleObject::fmOpen);
        for (const TStationEntry& station : ReadStationIndex(schedule)) {
            all.emplace_back();
            if (!schedule.SelectStation(station.Offset) || !schedule.ReadStationText(all.back()))
                throw std::runtime_error("cannot read a station");
        }
        return all;
    }();
    return texts;
}

void Matcher(benchmark::State& state, const std::string& key) {
    TStationMatches found;
    TKeyFinder finder(key);
    finder.Adapt(StationTexts().front());
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = 0;
        for (const std::string& text : StationTexts())
            rows += SearchStationText(text, finder, found);
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(state.iterations() * Schedule().textBytes);
}

void Memmem(benchmark::State& state, const std::string& key) {
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const std::string& text : StationTexts()) {
            const char* at = text.data();
            const char* const end = at + text.size();
            while (const void* hit = memmem(at, std::size_t(end - at), key.data(), key.size())) {
                ++hits;
                at = static_cast<const char*>(hit) + key.size();
            }
        }
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
    state.SetBytesProcessed(state.iterations() * Schedule().textBytes);
}

// The count of matching lines over all files, as grep prints them.
void Grep(benchmark::State& state, const std::string& key) {
    // GBK trail bytes are 0x40 and above, so a key never holds a single quote.
    std::string command =
        "cd '" + Schedule().stations + "' && LC_ALL=C grep -F -c -- '" + key + "' *.txt";
    std::size_t lines = 0;
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return state.SkipWithError("popen failed");
        lines = 0;
        char line[4096];
        while (std::fgets(line, sizeof line, pipe)) {
            const char* colon = std::strrchr(line, ':');
            if (colon) lines += std::strtoul(colon + 1, nullptr, 10);
        }
        pclose(pipe);
    }
    state.counters["rows"] = double(lines);
    state.SetBytesProcessed(state.iterations() * Schedule().textBytes);
}

void Dialog(benchmark::State& state, const std::string& key) {
    TScheduleObject schedule(Schedule().file, TScheduleObject::fmOpen);
    QListWidget names, offsets;
    LoadStationList(schedule, &names, &offsets);
    TFrmSearch dialog(nullptr, &schedule, &names, &offsets);
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>("etSearchKey");
    auto* search = dialog.findChild<QToolButton*>("btnSearch");
    edit->setText(platform::GbkToQString(key));
    qint64 maxGap = 0;
    int rows = 0;
    std::vector<double> searches; // ms each
    for (auto _ : state) {
        QElapsedTimer sinceTick, clock;
        clock.start();
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { maxGap = std::max(maxGap, sinceTick.restart()); });
        sinceTick.start();
        ticker.start();
        search->click();
        while (dialog.Worker)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        maxGap = std::max(maxGap, sinceTick.elapsed());
        ticker.stop();
        rows = dialog.Results->rowCount();
        searches.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    state.counters["rows"] = rows;
    state.counters["first_ms"] = searches.front();
    std::sort(searches.begin() + 1, searches.end());
    if (searches.size() > 1) state.counters["later_median_ms"] = searches[searches.size() / 2];
    state.counters["max_gap_ms"] = double(maxGap);
    state.SetBytesProcessed(state.iterations() * Schedule().textBytes);
}

BENCHMARK_CAPTURE(Search, RareKey, RareKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Grep, RareKey, RareKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Search, QuarterOfLines, QuarterKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Grep, QuarterOfLines, QuarterKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Search, EveryLine, EveryLineKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Grep, EveryLine, EveryLineKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Matcher, RareKey, RareKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Memmem, RareKey, RareKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Matcher, QuarterOfLines, QuarterKey)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Memmem, QuarterOfLines, QuarterKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Matcher, EveryLine, EveryLineKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Memmem, EveryLine, EveryLineKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Dialog, RareKey, RareKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Dialog, QuarterOfLines, QuarterKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Dialog, EveryLine, EveryLineKey)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    StationTexts(); // made before the clock runs
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
