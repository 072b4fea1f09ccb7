#include "gui/U_FrmOnAirModel.h"

namespace {

const char* const Captions[] = {"电视台", "开始", "正在播出", "开始", "接下来"};

// When the programme on air or the next one may change: the end of the one
// on air or the start of the next, whichever comes first.
TStartMinute Until(const TStationWeek& week, const TOnAir& onAir) {
    TStartMinute until = NoStart;
    if (onAir.Current >= 0) until = ProgrammeEnd(week.Starts, std::size_t(onAir.Current));
    if (onAir.Next >= 0) {
        const TStartMinute next = week.Starts[std::size_t(onAir.Next)];
        if (until == NoStart || next < until) until = next;
    }
    return until;
}

} // namespace

void TOnAirTableModel::Load(TScheduleObject& schedule, const StationSnapshot& list,
                            const QDateTime& at) {
    beginResetModel();
    stations.clear();
    stations.reserve(list.size());
    today = at.date();
    const TStartMinute minute = StartMinute(at);
    std::string_view text;
    for (std::size_t i = 0; i < list.size(); ++i) {
        TOnAirStation station;
        station.Name = decode(list[i].Name);
        station.ListRow = int(i);
        if (schedule.ReadStation(list[i].Offset, text))
            ReadStationWeek(std::string(text), station.Week);
        station.OnAir = OnAirAt(station.Week.Starts, minute);
        station.Until = Until(station.Week, station.OnAir);
        stations.push_back(std::move(station));
    }
    endResetModel();
}

void TOnAirTableModel::MoveTo(const QDateTime& at) {
    const bool newDay = at.date() != today;
    today = at.date();
    const TStartMinute minute = StartMinute(at);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        TOnAirStation& s = stations[i];
        if (s.Until == NoStart || minute < s.Until) continue;
        s.OnAir = OnAirAt(s.Week.Starts, minute);
        s.Until = Until(s.Week, s.OnAir);
        if (!newDay) emit dataChanged(index(int(i), 0), index(int(i), ColumnCount - 1));
    }
    if (newDay && !stations.empty()) // every start shows its date differently
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

QString TOnAirTableModel::Title(int row, int programme) const {
    if (programme < 0) return {};
    return decode(stations[std::size_t(row)].Week.Title(std::size_t(programme)));
}

QString TOnAirTableModel::Start(const TOnAirStation& station, int programme) const {
    if (programme < 0) return {};
    const QDateTime start = StartDateTime(station.Week.Starts[std::size_t(programme)]);
    return start.toString(start.date() == today ? QStringLiteral("HH:mm")
                                                : QStringLiteral("MM-dd HH:mm"));
}

int TOnAirTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(stations.size());
}

int TOnAirTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TOnAirTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
    const TOnAirStation& s = stations[std::size_t(index.row())];
    switch (index.column()) {
    case colStation:
        return s.Name;
    case colNowStart:
        return Start(s, s.OnAir.Current);
    case colNowTitle:
        return Title(index.row(), s.OnAir.Current);
    case colNextStart:
        return Start(s, s.OnAir.Next);
    case colNextTitle:
        return Title(index.row(), s.OnAir.Next);
    }
    return {};
}

QVariant TOnAirTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return QString(Captions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void TOnAirFilterModel::SetText(const QString& newText) {
    text = newText.trimmed();
    folded = TStationFilter::Folded(text);
    invalidateFilter();
}

bool TOnAirFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (folded.isEmpty()) return true;
    const auto* model = static_cast<const TOnAirTableModel*>(sourceModel());
    const TOnAirStation& s = model->Station(sourceRow);
    return filter.Matches(s.Name, folded) ||
           model->Title(sourceRow, s.OnAir.Current).contains(text, Qt::CaseInsensitive) ||
           model->Title(sourceRow, s.OnAir.Next).contains(text, Qt::CaseInsensitive);
}
