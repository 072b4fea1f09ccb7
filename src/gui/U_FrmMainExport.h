// The main window's ways out for the station on show: 打印预览时间表, 导出本台
//节目… and 加入日历 on a programme's context menu. They are enabled while the
// table holds a station's programmes.
#pragma once

#include <QObject>
#include <QPoint>

#include "gui/U_FrmPrint.h"
#include "schedule/U_MainFunExport.h"

class TFrmMain;
class TFrmPrint;

class TFrmMainExport : public QObject {
    Q_OBJECT
public:
    explicit TFrmMainExport(TFrmMain* form);

    void TBXItem3Click();      // print preview
    void TBXExportItemClick(); // export the week
    void lvSchedulesContextMenu(const QPoint& at);
    void AddRowToCalendar(int row);

    // The station on show: its name, when its schedule was built, its rows.
    TPrintWeek ShownWeek() const;
    TProgrammeEvents ShownEvents() const;

private:
    void UpdateCommands();
    TFrmMain* form;
};
