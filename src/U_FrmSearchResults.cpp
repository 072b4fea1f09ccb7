#include "U_FrmSearchResults.h"

#include <algorithm>

TSearchBatch::TSearchBatch(std::string station, const TStationMatches& found, std::string_view text)
    : Station(std::move(station)) {
    std::size_t dayBytes = 0, lineBytes = 0;
    for (const TStationMatches::TDay& day : found.Days)
        dayBytes += day.Date.size() + day.Weekday.size();
    for (const TStationMatches::TMatch& match : found.Matches)
        lineBytes += match.Line.size();
    std::size_t first = 0, span = 0;
    if (!found.Matches.empty()) {
        first = std::size_t(found.Matches.front().Line.data() - text.data());
        const std::string_view last = found.Matches.back().Line;
        span = std::size_t(last.data() + last.size() - text.data()) - first;
    }
    // Rows that cover most of the stretch from the first to the last take it
    // in one copy; scattered rows take their lines one by one.
    const bool whole = lineBytes * 2 >= span;
    Bytes.reserve(dayBytes + (whole ? span : lineBytes));
    Days.reserve(found.Days.size());
    for (const TStationMatches::TDay& day : found.Days)
        Days.push_back({Append(day.Date), Append(day.Weekday)});
    const std::size_t base = Bytes.size();
    if (whole) Bytes.append(text.substr(first, span));
    Rows.reserve(found.Matches.size());
    for (const TStationMatches::TMatch& match : found.Matches) {
        TSpan line =
            whole
                ? TSpan{std::uint32_t(std::size_t(match.Line.data() - text.data()) - first + base),
                        std::uint32_t(match.Line.size())}
                : Append(match.Line);
        Rows.push_back({line, match.Day});
    }
}

TSearchBatch::TSpan TSearchBatch::Append(std::string_view text) {
    TSpan span{std::uint32_t(Bytes.size()), std::uint32_t(text.size())};
    Bytes.append(text);
    return span;
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
