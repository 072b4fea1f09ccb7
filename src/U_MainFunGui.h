// The list functions of the main window and the search dialog: they fill and
// read the controls. lbTvSets items show the decoded name and keep the GBK
// bytes in Qt::UserRole; lbPos items hold each record offset as decimal text.
#pragma once

#include <QListWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "U_MainFun.h"
#include "U_TvSchedule.h"

class QProgressBar;
class QLabel;
class TScheduleTableModel;

inline constexpr int GbkNameRole = Qt::UserRole;

void LoadStationList(TScheduleObject& schedule, QListWidget* names, QListWidget* offsets);
// The (GBK name, record offset) pairs of the two lists, in list order, as far
// as both lists reach.
StationSnapshot TakeStationSnapshot(const QListWidget* names, const QListWidget* offsets);
