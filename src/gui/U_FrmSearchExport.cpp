#include "gui/U_FrmSearchExport.h"

#include <QEvent>
#include <QMenu>
#include <QTableView>
#include <QToolButton>

#include "gui/U_FrmExport.h"
#include "gui/U_FrmSearch.h"
#include "gui/U_MainFunGui.h"
#include "platform/CodePage.h"
#include "ui_U_FrmSearch.h"

namespace {

// The events of one station's week, read through the schedule file; none
// when its record cannot be read.
TProgrammeEvents ReadStationEvents(TScheduleObject& schedule, const TStationEntry& station) {
    std::string text;
    if (!schedule.SelectStation(station.Offset) || !schedule.ReadStationText(text)) return {};
    return StationEvents(station.Name, StationRows(TextLines(text)));
}

bool SameRow(const ScheduleRow& row, const TSearchResultModel& results, int at) {
    using C = TSearchResultModel;
    return row.Date == results.Text(at, C::colDate) &&
           row.Weekday == results.Text(at, C::colWeekday) &&
           row.Time == results.Text(at, C::colTime) && row.Title == results.Text(at, C::colTitle);
}

} // namespace

TFrmSearchExport::TFrmSearchExport(TFrmSearch* dialog, TScheduleObject* schedule,
                                   const QListWidget* lbTvSets, const QListWidget* lbPos)
    : QObject(dialog), dialog(dialog), schedule(schedule), names(lbTvSets), offsets(lbPos) {
    setObjectName("FrmSearchExport");
    btnExport = new QToolButton(dialog);
    btnExport->setObjectName("btnExport");
    btnExport->setText("导出…");
    btnExport->setAutoRaise(true);
    btnExport->setGeometry(370, 31, 63, 22);
    connect(btnExport, &QToolButton::clicked, this, &TFrmSearchExport::btnExportClick);

    QTableView* list = dialog->ui->lvSearchList;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            &TFrmSearchExport::lvSearchListContextMenu);
    // A search starts and ends with 搜索 disabled and enabled again.
    dialog->ui->btnSearch->installEventFilter(this);
    connect(dialog->Results, &QAbstractItemModel::modelReset, this,
            &TFrmSearchExport::UpdateCommands);
    connect(dialog->Results, &QAbstractItemModel::rowsInserted, this,
            &TFrmSearchExport::UpdateCommands);
    UpdateCommands();
}

bool TFrmSearchExport::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange) UpdateCommands();
    return QObject::eventFilter(watched, event);
}

bool TFrmSearchExport::Idle() const {
    return !dialog->Worker && dialog->Results->rowCount() > 0 && schedule;
}

void TFrmSearchExport::UpdateCommands() {
    btnExport->setEnabled(Idle());
}

TProgrammeEvents TFrmSearchExport::ResultEvents(const std::vector<int>& rows) const {
    TProgrammeEvents events;
    if (!schedule || dialog->Worker) return events;
    const TSearchResultModel& results = *dialog->Results;
    const StationSnapshot stations = TakeStationSnapshot(names, offsets);
    std::size_t station = 0; // results come in station order
    TProgrammeEvents week;
    std::size_t next = 0; // and in line order within their station
    std::string weekOf;
    bool first = true;
    for (int row : rows) {
        const std::string_view name = results.Text(row, TSearchResultModel::colStation);
        if (std::exchange(first, false) || name != weekOf) {
            std::size_t found = station;
            while (found < stations.size() && stations[found].Name != name)
                ++found;
            if (found == stations.size()) // not after the last one: look from the top
                for (found = 0; found < stations.size() && stations[found].Name != name;)
                    ++found;
            week = found < stations.size() ? ReadStationEvents(*schedule, stations[found])
                                           : TProgrammeEvents{};
            station = found;
            weekOf = name;
            next = 0;
        }
        std::size_t at = next;
        while (at < week.size() && !SameRow(week[at].Row, results, row))
            ++at;
        if (at < week.size()) {
            events.push_back(week[at]);
            next = at + 1;
            continue;
        }
        // A station changed since the search: the row as listed, without a time.
        using C = TSearchResultModel;
        events.push_back({std::string(name),
                          {std::string(results.Text(row, C::colDate)),
                           std::string(results.Text(row, C::colWeekday)),
                           std::string(results.Text(row, C::colTime)),
                           std::string(results.Text(row, C::colTitle)),
                           {}},
                          {},
                          {}});
    }
    return events;
}

void TFrmSearchExport::btnExportClick() {
    if (!Idle()) return;
    std::vector<int> rows(std::size_t(dialog->Results->rowCount()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = int(i);
    const QString key = dialog->ui->etSearchKey->text();
    ExportEvents(dialog, ResultEvents(rows), "搜索 " + key, "节目查找：" + key);
}

void TFrmSearchExport::lvSearchListContextMenu(const QPoint& at) {
    QTableView* list = dialog->ui->lvSearchList;
    const QModelIndex index = list->indexAt(at);
    if (!index.isValid()) return;
    list->selectRow(index.row());
    QMenu menu(list);
    QAction* add = menu.addAction("加入日历");
    add->setEnabled(Idle());
    const int row = index.row();
    connect(add, &QAction::triggered, this, [this, row] { AddRowToCalendar(row); });
    menu.exec(list->viewport()->mapToGlobal(at));
}

void TFrmSearchExport::AddRowToCalendar(int row) {
    if (!Idle() || row < 0 || row >= dialog->Results->rowCount()) return;
    const TProgrammeEvents events = ResultEvents({row});
    if (!events.empty()) AddToCalendar(dialog, events.front());
}
