// A station's week of 1,000 programmes out of the program (goals: the print
// preview in at most 1 s, an export in at most 100 ms):
//   QT_QPA_PLATFORM=offscreen build/bench/bin/print_export_bench
// BM_PrintPreview is the preview dialog from its creation to every page
// painted; beside it, Qt's own printing of the same rows as a plain
// QTextDocument onto the same preview. BM_Export* write the week as a file;
// beside them, the rows as vimbrel-cli show's tab-separated UTF-8 lines.
// On the 2-core build machine, under load (wall / CPU): the preview 94 / 31 ms
// for 28 pages, the peer 145 / 49 ms; iCalendar 47 / 16 ms, CSV 9.3 / 3.1 ms,
// the peer 0.64 / 0.21 ms.
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTextDocument>

#include "QtBenchMain.h"
#include "SampleSchedule.h"
#include "gui/U_FrmPrint.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunExport.h"

namespace {

// 7 days of 143 programmes: 1,001.
std::vector<ScheduleRow> WeekRows() {
    TSampleOptions options;
    options.stations = 1;
    options.programmesPerDay = 143;
    options.year = 2026, options.month = 12, options.day = 7;
    const std::string text = SampleStationText(options, 0);
    return StationRows(TextLines(text));
}

TPrintWeek Week() {
    return {"湖南卫视", ScheduleBuildTime(46000.5), WeekRows()};
}

void BM_PrintPreview(benchmark::State& state) {
    const TPrintWeek week = Week();
    int pages = 0;
    for (auto _ : state) {
        TFrmPrint preview(nullptr, week);
        preview.findChild<QPrintPreviewWidget*>()->updatePreview();
        pages = preview.PageCount();
    }
    state.counters["programmes"] = double(week.Rows.size());
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PrintPreview)->Unit(benchmark::kMillisecond);

// Peer: the same rows, one line each, printed by QTextDocument::print.
void BM_PrintPreview_PeerTextDocument(benchmark::State& state) {
    const TPrintWeek week = Week();
    platform::GbkDecoder decode;
    QString plain = week.Station + "\n";
    for (const ScheduleRow& row : week.Rows)
        plain += decode(row.Date) + " " + decode(row.Weekday) + " " + decode(row.Time) + " " +
                 decode(row.Title) + "\n";
    int pages = 0;
    for (auto _ : state) {
        QTextDocument document;
        document.setPlainText(plain);
        QPrinter printer;
        printer.setPageSize(QPageSize(QPageSize::A4));
        QPrintPreviewWidget preview(&printer);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested,
                         [&](QPrinter* p) { document.print(p); });
        preview.updatePreview();
        pages = preview.pageCount();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PrintPreview_PeerTextDocument)->Unit(benchmark::kMillisecond);

void BM_Export(benchmark::State& state, TExportFormat format) {
    const std::vector<ScheduleRow> rows = WeekRows();
    const std::string station = platform::QStringToGbk("湖南卫视");
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string file = ExportText(StationEvents(station, rows), format, "湖南卫视");
        bytes = file.size();
    }
    state.counters["programmes"] = double(rows.size());
    state.counters["bytes"] = double(bytes);
}
BENCHMARK_CAPTURE(BM_Export, ICalendar, TExportFormat::efICalendar)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, Csv, TExportFormat::efCsv)->Unit(benchmark::kMillisecond);

// Peer: the rows as tab-separated UTF-8 lines, converted field by field.
void BM_Export_PeerShowLines(benchmark::State& state) {
    const std::vector<ScheduleRow> rows = WeekRows();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        platform::GbkToUtf8Table utf8;
        for (const ScheduleRow& row : rows) {
            for (const std::string* field : {&row.Date, &row.Weekday, &row.Time, &row.Title}) {
                utf8.Append(*field, out);
                out += '\t';
            }
            out.back() = '\n';
        }
        bytes = out.size();
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_Export_PeerShowLines)->Unit(benchmark::kMillisecond);

} // namespace

VIMBREL_QT_BENCHMARK_MAIN();
