#include "gui/U_FrmSearchResults.h"

#include <algorithm>

TSearchBatch::TSearchBatch(std::string station, const TStationMatches& found)
    : Station(std::move(station)) {
    std::size_t size = 0;
    for (const TStationMatches::TDay& day : found.Days)
        size += day.Date.size() + day.Weekday.size();
    for (const TStationMatches::TMatch& match : found.Matches)
        size += match.Line.size();
    bytes.reserve(size);
    const auto append = [&](std::string_view piece) {
        const TSpan at{std::uint32_t(bytes.size()), std::uint32_t(piece.size())};
        bytes += piece;
        return at;
    };
    days.reserve(found.Days.size());
    for (const TStationMatches::TDay& day : found.Days)
        days.push_back({append(day.Date), append(day.Weekday)});
    rows.reserve(found.Matches.size());
    for (const TStationMatches::TMatch& match : found.Matches)
        rows.push_back({append(match.Line), match.Day});
    Bytes = bytes;
    Days = days;
    Rows = rows;
}

TSearchResultModel::TSearchResultModel(QObject* parent) : QAbstractTableModel(parent) {}

int TSearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown;
}

int TSearchResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TSearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const captions[ColumnCount] = {"电视台", "日期", "星期", "时间", "节目"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromUtf8(captions[section]);
}

QVariant TSearchResultModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shown) return {};
    return decode(Text(index.row(), TColumn(index.column())));
}

const TSearchResultModel::TSegment& TSearchResultModel::SegmentOf(int row) const {
    auto after = std::upper_bound(segments.begin(), segments.end(), row,
                                  [](int r, const TSegment& s) { return r < s.Start; });
    return *(after - 1);
}

std::string_view TSearchResultModel::Text(int row, TColumn column) const {
    if (row < 0 || row >= shown) return {};
    const TSegment& segment = SegmentOf(row);
    const TSearchBatch& batch = *segment.Batch;
    const TSearchBatch::TRow& r = batch.Rows[std::size_t(row - segment.Start)];
    switch (column) {
    case colStation:
        return batch.Station;
    case colDate:
        return batch.Text(batch.Days[r.Day].Date);
    case colWeekday:
        return batch.Text(batch.Days[r.Day].Weekday);
    case colTime:
        return ProgrammeTime(batch.Text(r.Line));
    case colTitle:
        return ProgrammeTitle(batch.Text(r.Line));
    default:
        return {};
    }
}

void TSearchResultModel::Stage(TSearchBatchPtr batch) {
    if (!batch || batch->Rows.empty()) return;
    const int count = int(batch->Rows.size());
    segments.push_back({std::move(batch), staged});
    staged += count;
}

void TSearchResultModel::Publish(int maxRows) {
    const int count = std::min(maxRows, staged - shown);
    if (count <= 0) return;
    beginInsertRows(QModelIndex(), shown, shown + count - 1);
    shown += count;
    endInsertRows();
}

void TSearchResultModel::Clear() {
    beginResetModel();
    segments.clear();
    staged = shown = 0;
    endResetModel();
}
