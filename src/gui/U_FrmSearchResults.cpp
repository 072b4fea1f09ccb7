#include "gui/U_FrmSearchResults.h"

#include <algorithm>
#include <cstring>
#include <new>

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
    // One room: the rows, the days, then the texts.
    const std::size_t rowsSize = found.Matches.size() * sizeof(TRow);
    const std::size_t daysSize = found.Days.size() * sizeof(TDay);
    const std::size_t bytesSize = dayBytes + (whole ? span : lineBytes);
    // new char[] is aligned for any row; its bytes are not cleared.
    room.reset(new char[rowsSize + daysSize + bytesSize]);
    auto* const rows = reinterpret_cast<TRow*>(room.get());
    auto* const days = reinterpret_cast<TDay*>(room.get() + rowsSize);
    char* const bytes = room.get() + rowsSize + daysSize;
    std::uint32_t used = 0;
    const auto append = [&](std::string_view piece) {
        std::memcpy(bytes + used, piece.data(), piece.size());
        const TSpan at{used, std::uint32_t(piece.size())};
        used += std::uint32_t(piece.size());
        return at;
    };
    for (std::size_t i = 0; i < found.Days.size(); ++i)
        ::new (static_cast<void*>(days + i))
            TDay{append(found.Days[i].Date), append(found.Days[i].Weekday)};
    const std::uint32_t base = used;
    if (whole) append(text.substr(first, span));
    for (std::size_t i = 0; i < found.Matches.size(); ++i) {
        const TStationMatches::TMatch& match = found.Matches[i];
        const TSpan line =
            whole
                ? TSpan{std::uint32_t(std::size_t(match.Line.data() - text.data()) - first) + base,
                        std::uint32_t(match.Line.size())}
                : append(match.Line);
        ::new (static_cast<void*>(rows + i)) TRow{line, match.Day};
    }
    Bytes = std::string_view(bytes, used);
    Days = {days, found.Days.size()};
    Rows = {rows, found.Matches.size()};
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
