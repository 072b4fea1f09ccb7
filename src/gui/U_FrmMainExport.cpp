#include "gui/U_FrmMainExport.h"

#include <QLabel>
#include <QMenu>
#include <QTableView>

#include "gui/U_FrmExport.h"
#include "gui/U_FrmMain.h"
#include "platform/CodePage.h"
#include "ui_U_FrmMain.h"

TFrmMainExport::TFrmMainExport(TFrmMain* form) : QObject(form), form(form) {
    setObjectName("FrmMainExport");
    Ui::TFrmMain* ui = form->Controls();
    connect(ui->TBXItem3, &QAction::triggered, this, [this] { TBXItem3Click(); });
    connect(ui->TBXExportItem, &QAction::triggered, this, [this] { TBXExportItemClick(); });
    QTableView* table = form->lvSchedules();
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this,
            &TFrmMainExport::lvSchedulesContextMenu);
    connect(form->lvSchedulesModel(), &QAbstractItemModel::modelReset, this,
            &TFrmMainExport::UpdateCommands);
    UpdateCommands();
}

void TFrmMainExport::UpdateCommands() {
    const bool shown = form->lvSchedulesModel()->rowCount() > 0;
    form->Controls()->TBXItem3->setEnabled(shown);
    form->Controls()->TBXExportItem->setEnabled(shown);
}

TPrintWeek TFrmMainExport::ShownWeek() const {
    TPrintWeek week;
    week.Station = form->Panel4()->text().mid(QString(StationCaption).size());
    if (const TScheduleObject* schedule = form->Schedule(); schedule && schedule->HasFile())
        week.BuildTime = ScheduleBuildTime(schedule->Header.BuildTime);
    const TScheduleTableModel* model = form->lvSchedulesModel();
    week.Rows.reserve(std::size_t(model->rowCount()));
    for (int i = 0; i < model->rowCount(); ++i) {
        const TScheduleTableRow& row = model->Row(i);
        week.Rows.push_back({row.Date, row.Weekday, row.Time, row.Title, {}});
    }
    return week;
}

TProgrammeEvents TFrmMainExport::ShownEvents() const {
    TPrintWeek week = ShownWeek();
    return StationEvents(platform::QStringToGbk(week.Station), std::move(week.Rows));
}

void TFrmMainExport::TBXItem3Click() {
    if (form->lvSchedulesModel()->rowCount() == 0) return;
    TFrmPrint preview(form, ShownWeek());
    preview.exec();
}

void TFrmMainExport::TBXExportItemClick() {
    if (form->lvSchedulesModel()->rowCount() == 0) return;
    const TPrintWeek week = ShownWeek();
    ExportEvents(form, ShownEvents(), week.Station, week.Station);
}

void TFrmMainExport::lvSchedulesContextMenu(const QPoint& at) {
    QTableView* table = form->lvSchedules();
    const QModelIndex index = table->indexAt(at);
    if (!index.isValid()) return;
    table->selectRow(index.row());
    QMenu menu(table);
    QAction* add = menu.addAction("加入日历");
    const int row = index.row();
    connect(add, &QAction::triggered, this, [this, row] { AddRowToCalendar(row); });
    menu.exec(table->viewport()->mapToGlobal(at));
}

void TFrmMainExport::AddRowToCalendar(int row) {
    if (row < 0 || row >= form->lvSchedulesModel()->rowCount()) return;
    TProgrammeEvents events = ShownEvents();
    AddToCalendar(form, events[std::size_t(row)]);
}
