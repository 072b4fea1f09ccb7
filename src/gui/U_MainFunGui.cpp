#include "gui/U_MainFunGui.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <cstring>

#include "platform/CodePage.h"

namespace {

// A progress bar repaints itself at once whenever its text or bar changes,
// which a fill of 5,000 lines would do a hundred times, at a cost far above
// the fill's own. While it lives, the gauge keeps every position but is
// painted at most every 50 ms, so that only a long fill shows its progress.
class TGaugeRepaints {
public:
    explicit TGaugeRepaints(QProgressBar* gauge) : gauge(gauge), enabled(gauge->updatesEnabled()) {
        gauge->setUpdatesEnabled(false);
        clock.start();
    }
    ~TGaugeRepaints() { gauge->setUpdatesEnabled(enabled); }
    void Step(std::size_t line) {
        if (!enabled || line % 256 != 0 || clock.elapsed() < 50) return;
        gauge->setUpdatesEnabled(true);
        gauge->repaint();
        gauge->setUpdatesEnabled(false);
        clock.restart();
    }

private:
    QProgressBar* gauge;
    bool enabled;
    QElapsedTimer clock;
};

} // namespace

void LoadStationList(TScheduleObject& schedule, QListWidget* names, QListWidget* offsets) {
    const TStationList stations = ListStations(schedule);
    offsets->clear();
    names->clear();
    platform::GbkDecoder decode;
    for (const TStationList::TStation station : stations) {
        offsets->addItem(QString::number(station.Offset));
        auto* item = new QListWidgetItem(decode(station.Name));
        item->setData(GbkNameRole, QByteArray(station.Name.data(), qsizetype(station.Name.size())));
        names->addItem(item);
    }
}

StationSnapshot TakeStationSnapshot(const QListWidget* names, const QListWidget* offsets) {
    StationSnapshot snapshot;
    int count = std::min(names->count(), offsets->count());
    snapshot.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        snapshot.push_back({names->item(i)->data(GbkNameRole).toByteArray().toStdString(),
                            std::int32_t(offsets->item(i)->text().toLong())});
    return snapshot;
}

void KeepSelectionVisible(QAbstractItemView* view) {
    QPalette palette = view->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

int SelectedIndex(const QListWidget* list) {
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ShowStation(TScheduleObject& schedule, const QListWidget* lbTvSets, const QListWidget* lbPos,
                 QProgressBar* Gauge1, QLabel* Panel4, TScheduleTableModel* lvSchedules) {
    int k = SelectedIndex(lbTvSets);
    if (k < 0) return;
    // An offset that is missing or not a number reads as a damaged record.
    bool ok = false;
    const QListWidgetItem* position = lbPos->item(k);
    qlonglong offset = position ? position->text().toLongLong(&ok) : -1;
    ok = ok && offset >= 0 && offset <= INT32_MAX;
    std::string text;
    if (ok && schedule.SelectStation(std::int32_t(offset)))
        schedule.ReadStationText(text);
    else
        std::memset(schedule.StationName, 0, sizeof schedule.StationName);
    Panel4->setText(StationCaption + platform::GbkToQString(schedule.StationDisplayName()));
    TLines lines = TextLines(text);
    FillScheduleTable(lines, lvSchedules, Gauge1);
}

void FillScheduleTable(const TLines& lines, TScheduleTableModel* lvSchedules,
                       QProgressBar* Gauge1) {
    TGaugeRepaints repaints(Gauge1);
    Gauge1->setRange(0, int(lines.size()));
    Gauge1->setValue(0);
    std::vector<TScheduleTableRow> rows;
    rows.reserve(lines.size());
    TStationRowReader reader;
    ScheduleRow row;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        repaints.Step(i);
        if (reader.Feed(lines[i]) == TStationRowReader::lkProgramme) {
            reader.RowInto(lines[i], row);
            rows.push_back({std::move(row.Date), std::move(row.Weekday), std::move(row.Time),
                            std::move(row.Title), 0});
        }
        Gauge1->setValue(int(i));
    }
    lvSchedules->SetRows(std::move(rows));
    Gauge1->setValue(0);
}
