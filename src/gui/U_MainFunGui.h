// The list functions of the main window and the search dialog: they fill and
// read the controls. lbTvSets items show the decoded name and keep the GBK
// bytes in Qt::UserRole; lbPos items hold each record offset as decimal text.
#pragma once

#include <QIcon>
#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/U_MainFunGuiModel.h"
#include "schedule/U_MainFunSearch.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_TvSchedule.h"

class QProgressBar;
class QLabel;
class QPainter;

inline constexpr int GbkNameRole = Qt::UserRole;
// Panel4's caption, followed by the name of the station shown.
inline constexpr char StationCaption[] = "当前电视台：";

void LoadStationList(TScheduleObject& schedule, QListWidget* names, QListWidget* offsets);
// The (GBK name, record offset) pairs of the two lists, in list order, as far
// as both lists reach.
StationSnapshot TakeStationSnapshot(const QListWidget* names, const QListWidget* offsets);

// Shows the selection of view as it is with the focus also when the view has
// lost the focus, so that the row the user chose stays in sight.
void KeepSelectionVisible(QAbstractItemView* view);

// The row of the single selection of a list, or -1 when nothing is selected.
int SelectedIndex(const QListWidget* list);

// Shows the station selected in lbTvSets: its name in Panel4 and its rows in
// the table. A record the file cannot give (a damaged file) shows its name, if
// any, and an empty table. Nothing happens when no station is selected.
void ShowStation(TScheduleObject& schedule, const QListWidget* lbTvSets, const QListWidget* lbPos,
                 QProgressBar* Gauge1, QLabel* Panel4, TScheduleTableModel* lvSchedules);
// Replaces the table's rows by the rows of a station's lines, in one reset.
// The gauge runs through the line indexes 0..n-1 and ends at 0.
void FillScheduleTable(const TLines& lines, TScheduleTableModel* lvSchedules, QProgressBar* Gauge1);

// ---- Station list drawing ---------------------------------------------------

inline constexpr int StationItemHeight = 23;

// Paints one entry of the station list: the gradient (selected) or white
// background, the box with the entry's number (its row plus one) and its name
// (the model's Qt::DisplayRole), in font. Of state only the selected flag
// counts. rect is the entry in the list's client coordinates, its left edge at
// 0 and its right edge exclusive.
void DrawStationItem(QPainter* canvas, const QModelIndex& entry, const QFont& font,
                     QStyle::State state, QRect rect);
// The same for entry index of list, in the list's font.
void DrawStationItem(const QListWidget* list, QPainter* canvas, int index, QStyle::State state,
                     QRect rect);

// The delegate of lbTvSets: fixed-height entries painted by DrawStationItem
// from the model's data, then the style's focus rectangle around the entry
// that holds the keyboard focus.
class TStationItemDelegate : public QStyledItemDelegate {
public:
    explicit TStationItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The list's owner-draw step for one entry: the whole entry, from the
    // model's data, in the list's font.
    void lbTvSetsDrawItem(QPainter* canvas, const QModelIndex& index, const QRect& rect,
                          QStyle::State state, const QFont& font) const;
};

// The two 16x16 line icons of the schedule table: 0 closed folder, 1 open folder.
std::array<QIcon, 2> MakeFolderImages();
