#include "U_FrmSearchResults.h"

#include <algorithm>

TSearchBatch::TSpan TSearchBatch::Append(std::string_view text) {
    TSpan span{std::uint32_t(Bytes.size()), std::uint32_t(text.size())};
    Bytes.append(text);
    return span;
}

void TSearchBatch::Add(const TStationRowReader& reader, std::string_view line) {
    TRow row;
    if (!Rows.empty() && Text(Rows.back().Date) == reader.CurrentDate() &&
        Text(Rows.back().Weekday) == reader.CurrentWeekday()) {
        row.Date = Rows.back().Date;
        row.Weekday = Rows.back().Weekday;
    } else {
        row.Date = Append(reader.CurrentDate());
        row.Weekday = Append(reader.CurrentWeekday());
    }
    row.Line = Append(line);
    Rows.push_back(row);
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
    const TSearchBatch::TRow& r = batch.Rows[std::size_t(segment.First + row - segment.Start)];
    switch (column) {
    case colStation:
        return batch.Station;
    case colDate:
        return batch.Text(r.Date);
    case colWeekday:
        return batch.Text(r.Weekday);
    case colTime:
        return ProgrammeTime(batch.Text(r.Line));
    case colTitle:
        return ProgrammeTitle(batch.Text(r.Line));
    default:
        return {};
    }
}

void TSearchResultModel::Stage(TSearchBatchPtr batch, int first, int count) {
    if (count <= 0) return;
    segments.push_back({std::move(batch), first, staged});
    staged += count;
}

void TSearchResultModel::Publish() {
    if (staged == shown) return;
    beginInsertRows(QModelIndex(), shown, staged - 1);
    shown = staged;
    endInsertRows();
}

void TSearchResultModel::Clear() {
    beginResetModel();
    segments.clear();
    staged = shown = 0;
    endResetModel();
}
