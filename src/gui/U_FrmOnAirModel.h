// The rows of the 正在播出 view: every station of the station list, in its
// order, with the programme on air and the next one. A model over the weeks
// read once when the view opens; moving to another instant finds each
// station's programmes again only where they have changed.
#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QSortFilterProxyModel>
#include <vector>

#include "gui/U_MainFunGuiFilter.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunOnAir.h"
#include "schedule/U_MainFunSearch.h"
#include "schedule/U_TvSchedule.h"

struct TOnAirStation {
    QString Name;
    int ListRow = -1; // its entry in lbTvSets
    TStationWeek Week;
    TOnAir OnAir;
    TStartMinute Until = NoStart; // when OnAir may change; NoStart: never again
};

class TOnAirTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colStation, colNowStart, colNowTitle, colNextStart, colNextTitle, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Reads every station of the list (GBK names and record offsets, in list
    // order) and finds what is on at the instant. A record the file cannot
    // give shows its station with nothing on.
    void Load(TScheduleObject& schedule, const StationSnapshot& stations, const QDateTime& at);
    // Finds what is on at a later instant; rows that change are painted again.
    void MoveTo(const QDateTime& at);
    const TOnAirStation& Station(int row) const { return stations[std::size_t(row)]; }
    QString Title(int row, int programme) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString Start(const TOnAirStation& station, int programme) const;

    std::vector<TOnAirStation> stations;
    QDate today; // starts on another day show their date
    mutable platform::GbkDecoder decode;
};

// The view's filter: stations whose name holds the text as the station list's
// filter takes it, or whose programme on air or next holds it, without case.
class TOnAirFilterModel : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text, folded;
    mutable TStationFilter filter;
};
