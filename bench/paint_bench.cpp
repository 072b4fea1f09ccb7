// Painting stays per visible row: scroll a 10,000-row schedule table and a
// 3,000-station list one step at a time and count what each repaint asks for.
// Beside them, the peer: the same table with Qt's plain QStyledItemDelegate
// over a QStandardItemModel holding the same texts.
#include <QDir>
#include <QHeaderView>
#include <QProgressBar>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include "QtBenchMain.h"
#include "SampleSchedule.h"
#include "gui/U_FrmMain.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"

namespace {

// Counts the data() calls the view makes.
class TCountingModel : public TScheduleTableModel {
public:
    QVariant data(const QModelIndex& index, int role) const override {
        ++calls;
        return TScheduleTableModel::data(index, role);
    }
    mutable long calls = 0;
};

// A table set up as the main window's.
void SetUpTable(QTableView& table) {
    table.resize(800, 600);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->setDefaultSectionSize(19);
    table.verticalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
    table.show();
    // Let the window be exposed: repaint() paints nothing before.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// One scroll step: move by one row, then either paint what the scroll left
// to paint (the rows that came into view) or, with full, the whole viewport.
bool full = false;
void Step(QAbstractItemView& view, int& value) {
    QScrollBar* bar = view.verticalScrollBar();
    value = value >= bar->maximum() ? 0 : value + 1;
    bar->setValue(value);
    if (full)
        view.viewport()->repaint();
    else
        QApplication::processEvents();
}

void BM_ScrollScheduleTable(benchmark::State& state) {
    full = state.range(0) != 0;
    TSampleOptions options;
    options.programmesPerDay = 1429; // 10,003 rows
    const std::string text = SampleStationText(options, 0);
    TCountingModel model;
    model.SetImages(MakeFolderImages());
    QProgressBar gauge;
    FillScheduleTable(TextLines(text), &model, &gauge);
    QTableView table;
    table.setModel(&model);
    SetUpTable(table);
    int value = 0;
    Step(table, value);
    model.calls = 0;
    for (auto _ : state)
        Step(table, value);
    state.counters["rows"] = model.rowCount();
    state.counters["data_calls_per_step"] = double(model.calls) / double(state.iterations());
    state.counters["visible_rows"] = table.viewport()->height() / 19.0;
}
BENCHMARK(BM_ScrollScheduleTable)->ArgName("full")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ScrollStandardItems_Peer(benchmark::State& state) {
    full = state.range(0) != 0;
    TSampleOptions options;
    options.programmesPerDay = 1429;
    const std::vector<ScheduleRow> rows = StationRows(TextLines(SampleStationText(options, 0)));
    QStandardItemModel model(int(rows.size()), 4);
    platform::GbkDecoder decode;
    // The same roles as the schedule model gives: icon, row colour, bold title.
    const QIcon icon(MakeFolderImages()[0]);
    QFont bold;
    bold.setBold(true);
    for (int r = 0; r < int(rows.size()); ++r) {
        const QBrush background(ScheduleRowColor(rows[r].Weekday));
        const QString texts[] = {decode(rows[r].Date), decode(rows[r].Weekday),
                                 decode(rows[r].Time), decode(rows[r].Title)};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QStandardItem(texts[c]);
            item->setBackground(background);
            if (c == 0) item->setIcon(icon);
            if (c == 3) item->setFont(bold);
            model.setItem(r, c, item);
        }
    }
    QTableView table;
    table.setModel(&model);
    SetUpTable(table);
    int value = 0;
    for (auto _ : state)
        Step(table, value);
}
BENCHMARK(BM_ScrollStandardItems_Peer)
    ->ArgName("full")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

void BM_ScrollStationList(benchmark::State& state) {
    full = state.range(0) != 0;
    QTemporaryDir dir;
    SetProgramFolder(dir.path().toStdString());
    const std::string stations = dir.filePath("stations").toStdString();
    QDir().mkpath(QString::fromStdString(stations));
    TSampleOptions options;
    options.stations = 3000;
    options.programmesPerDay = 1;
    WriteSampleStations(stations, options);
    BuildScheduleFile(stations, "*.*", ScheduleFilePath(), 0);

    TFrmMain form;
    form.resize(800, 600);
    form.show();
    form.FormShow();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    QListWidget* list = form.lbTvSets();
    list->setCurrentRow(1500);
    // The form's delegate, counting its paints.
    struct TCountingDelegate : TStationItemDelegate {
        using TStationItemDelegate::TStationItemDelegate;
        void paint(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const override {
            ++paints;
            TStationItemDelegate::paint(painter, option, index);
        }
        mutable long paints = 0;
    };
    auto* delegate = new TCountingDelegate(list);
    list->setItemDelegate(delegate);
    long& paints = delegate->paints;
    int value = 0;
    Step(*list, value);
    paints = 0;
    for (auto _ : state)
        Step(*list, value);
    state.counters["stations"] = list->count();
    state.counters["paints_per_step"] = double(paints) / double(state.iterations());
    state.counters["visible_entries"] = list->viewport()->height() / 23.0;
}
BENCHMARK(BM_ScrollStationList)->ArgName("full")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

VIMBREL_QT_BENCHMARK_MAIN();
