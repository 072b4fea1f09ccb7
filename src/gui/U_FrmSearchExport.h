// The search dialog's ways out for its results: 导出… writes every result
// into an iCalendar or CSV file, and 加入日历 on a result's context menu puts
// that programme into the desktop's calendar. A programme ends where the next
// one of its station starts, so each result's station is read again for its
// end. Both wait while a search runs: the worker reads the schedule file then.
#pragma once

#include <QObject>
#include <QPoint>
#include <vector>

#include "schedule/U_MainFunExport.h"

class QListWidget;
class QToolButton;
class TFrmSearch;
class TScheduleObject;

class TFrmSearchExport : public QObject {
    Q_OBJECT
public:
    TFrmSearchExport(TFrmSearch* dialog, TScheduleObject* schedule, const QListWidget* lbTvSets,
                     const QListWidget* lbPos);

    void btnExportClick();
    void lvSearchListContextMenu(const QPoint& at);
    void AddRowToCalendar(int row);
    // The events of result rows, given in list order.
    TProgrammeEvents ResultEvents(const std::vector<int>& rows) const;

    QToolButton* btnExport;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Idle() const; // results there and no search running
    void UpdateCommands();

    TFrmSearch* dialog;
    TScheduleObject* schedule;
    const QListWidget* names;
    const QListWidget* offsets;
};
