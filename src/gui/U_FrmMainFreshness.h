// The main window's word on how fresh the schedule on show is, for the
// status bar's second panel.
#pragma once

#include <QDate>
#include <QString>
#include <string_view>

class TScheduleTableModel;

// "节目表更新于 2026-12-09 08:00" from the schedule's build time (days since
// 30 December 1899, local); "节目表已过期，请更新节目表" once today is past
// lastDate, the last day the station on show has (none: no such word).
QString FreshnessText(double buildTime, const QDate& lastDate, const QDate& today);
// A row's date as the table holds it ("2026-12-15"), or an invalid date.
QDate StationDate(std::string_view text);
// The last day of the rows on show, or an invalid date when there are none.
QDate LastDateOnShow(const TScheduleTableModel& model);
