// Showing a station of about 5,000 programme lines, from the selection to the
// filled table model (goal: under 16 ms, one frame). Beside it, the peer the
// table model replaced: the same rows as QTableWidget items.
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include "QtBenchMain.h"
#include "SampleSchedule.h"
#include "gui/U_FrmMain.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"

namespace {

constexpr int ProgrammesPerDay = 715; // 7 x 715 = 5,005 programme lines

TSampleOptions Options() {
    TSampleOptions options;
    options.stations = 2;
    options.programmesPerDay = ProgrammesPerDay;
    return options;
}

// A program folder holding a schedule of two such stations.
struct TBenchFolder {
    TBenchFolder() {
        SetProgramFolder(dir.path().toStdString());
        const std::string stations = dir.filePath("stations").toStdString();
        QDir().mkpath(QString::fromStdString(stations));
        WriteSampleStations(stations, Options());
        BuildScheduleFile(stations, "*.*", ScheduleFilePath(), 0);
    }
    QTemporaryDir dir;
};

void BM_ShowStation_Model(benchmark::State& state) {
    TBenchFolder folder;
    TFrmMain form;
    form.show();
    form.FormShow();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    QListWidget* list = form.lbTvSets();
    int row = 0;
    for (auto _ : state) {
        row ^= 1; // a real change of selection each time, through lbTvSetsClick
        list->setCurrentRow(row);
        benchmark::DoNotOptimize(form.lvSchedulesModel()->rowCount());
        state.PauseTiming();
        QApplication::processEvents(); // the paint that follows is not part of the fill
        state.ResumeTiming();
    }
    state.counters["rows"] = form.lvSchedulesModel()->rowCount();
}
BENCHMARK(BM_ShowStation_Model)->Unit(benchmark::kMillisecond);

// The fill alone, from lines in memory, with the gauge visible as in a click.
void BM_FillScheduleTable(benchmark::State& state) {
    const std::string text = SampleStationText(Options(), 0);
    const TLines lines = TextLines(text);
    TScheduleTableModel model;
    TFrmMain form; // for a gauge in a shown window
    form.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(); // exposed: repaints are real
    form.Gauge1()->show();
    for (auto _ : state)
        FillScheduleTable(lines, &model, form.Gauge1());
    state.counters["lines"] = double(lines.size());
}
BENCHMARK(BM_FillScheduleTable)->Unit(benchmark::kMillisecond);

// Peer: the same rows as items of a QTableWidget.
void BM_FillAsItems_Peer(benchmark::State& state) {
    const std::string text = SampleStationText(Options(), 0);
    const TLines lines = TextLines(text);
    QTableWidget table(0, 4);
    table.show();
    platform::GbkDecoder decode;
    for (auto _ : state) {
        table.setUpdatesEnabled(false);
        table.setRowCount(0);
        std::vector<ScheduleRow> rows = StationRows(lines);
        table.setRowCount(int(rows.size()));
        for (int r = 0; r < int(rows.size()); ++r) {
            table.setItem(r, 0, new QTableWidgetItem(decode(rows[r].Date)));
            table.setItem(r, 1, new QTableWidgetItem(decode(rows[r].Weekday)));
            table.setItem(r, 2, new QTableWidgetItem(decode(rows[r].Time)));
            table.setItem(r, 3, new QTableWidgetItem(decode(rows[r].Title)));
        }
        table.setUpdatesEnabled(true);
    }
    state.counters["rows"] = table.rowCount();
}
BENCHMARK(BM_FillAsItems_Peer)->Unit(benchmark::kMillisecond);

} // namespace

VIMBREL_QT_BENCHMARK_MAIN();
