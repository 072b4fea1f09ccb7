// What is on now and finding a station, with a schedule of the real size:
// 1,500 stations of 19 programmes a day (199,500 rows). Figures on the 2-core
// build machine: open 9.8 ms (peer 3.7 ms, which reads nothing), keystroke
// 0.8 ms by name, 0.9 ms by pinyin, the first one 4.0 ms.
//   BM_OnAirView_Open: 正在播出 from the command to the view painted with
//     every station filled in (goal: at most 300 ms); beside it the peer, the
//     same rows as QTableWidget items, from texts already in memory.
//   BM_StationFilter_Keystroke: one key typed into the station filter, to
//     the list painted again (goal: at most 30 ms), by name and by pinyin;
//     _First: the first key after the start, which reads the names' pinyin.
#include <QDir>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "QtBenchMain.h"
#include "SampleSchedule.h"
#include "gui/U_FrmMain.h"
#include "gui/U_FrmOnAir.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"

namespace {

const QDateTime Instant(QDate(2026, 12, 10), QTime(20, 30));

struct TBenchFolder {
    TBenchFolder() {
        SetProgramFolder(dir.path().toStdString());
        const std::string stations = dir.filePath("stations").toStdString();
        QDir().mkpath(QString::fromStdString(stations));
        TSampleOptions options;
        options.stations = 1500;
        options.programmesPerDay = 19;
        options.year = 2026, options.month = 12, options.day = 7;
        WriteSampleStations(stations, options);
        BuildScheduleFile(stations, "*.*", ScheduleFilePath(), 0);
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit()); // no favourites
    }
    QTemporaryDir dir;
};

TBenchFolder& Folder() {
    static TBenchFolder folder;
    return folder;
}

void Settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

std::unique_ptr<TFrmMain> ShownForm() {
    Folder();
    auto form = std::make_unique<TFrmMain>();
    form->Clock = [] { return Instant; };
    form->show();
    form->FormShow();
    Settle();
    return form;
}

void BM_OnAirView_Open(benchmark::State& state) {
    auto form = ShownForm();
    int rows = 0;
    for (auto _ : state) {
        TFrmOnAir view(form.get(), *form->Schedule(), form->lbTvSets(), form->lbPos(),
                       [] { return Instant; });
        view.show();
        view.lvOnAir()->viewport()->repaint();
        rows = view.Model()->rowCount();
        state.PauseTiming();
        view.hide();
        Settle();
        state.ResumeTiming();
    }
    state.counters["stations"] = rows;
}
BENCHMARK(BM_OnAirView_Open)->Unit(benchmark::kMillisecond)->MinTime(2);

// Peer: the view's texts as items of a QTableWidget.
void BM_OnAirView_Items_Peer(benchmark::State& state) {
    auto form = ShownForm();
    TFrmOnAir source(form.get(), *form->Schedule(), form->lbTvSets(), form->lbPos(),
                     [] { return Instant; });
    const QAbstractItemModel* model = source.Model();
    std::vector<QString> texts;
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            texts.push_back(model->index(r, c).data().toString());
    for (auto _ : state) {
        QDialog view(form.get());
        QTableWidget table(model->rowCount(), model->columnCount(), &view);
        for (int r = 0, i = 0; r < model->rowCount(); ++r)
            for (int c = 0; c < model->columnCount(); ++c)
                table.setItem(r, c, new QTableWidgetItem(texts[std::size_t(i++)]));
        view.show();
        table.viewport()->repaint();
        state.PauseTiming();
        view.hide();
        Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OnAirView_Items_Peer)->Unit(benchmark::kMillisecond)->MinTime(2);

// Types the first key of a query and takes it back, alternately.
void Keystrokes(benchmark::State& state, char first, char second) {
    auto form = ShownForm();
    QLineEdit* field = form->etStationFilter();
    QTest::keyClick(field, first);
    Settle();
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClick(field, second);
        typed = !typed;
        // The list lays its entries out again on a timer; here at once, then paints.
        form->lbTvSets()->doItemsLayout();
        form->lbTvSets()->viewport()->repaint();
        state.PauseTiming();
        Settle();
        state.ResumeTiming();
    }
}

void BM_StationFilter_Keystroke_Name(benchmark::State& state) {
    Keystrokes(state, '2', '3'); // "2" holds many, "23" few
}
BENCHMARK(BM_StationFilter_Keystroke_Name)->Unit(benchmark::kMillisecond);

void BM_StationFilter_Keystroke_Pinyin(benchmark::State& state) {
    Keystrokes(state, 's', 'h'); // 上海 and the like
}
BENCHMARK(BM_StationFilter_Keystroke_Pinyin)->Unit(benchmark::kMillisecond);

void BM_StationFilter_Keystroke_First(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto form = ShownForm();
        state.ResumeTiming();
        QTest::keyClick(form->etStationFilter(), 'h');
        form->lbTvSets()->doItemsLayout();
        form->lbTvSets()->viewport()->repaint();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StationFilter_Keystroke_First)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

VIMBREL_QT_BENCHMARK_MAIN()
