#include "gui/U_MainFunGuiModel.h"

namespace {

const QColor OddDayColor = ColorValue(14876387);  // (227, 254, 226)
const QColor EvenDayColor = ColorValue(16573402); // (218, 227, 252)

// 星期一, 星期三, 星期五, 星期日 in GBK.
const std::string_view GreenDays[] = {"\xD0\xC7\xC6\xDA\xD2\xBB", "\xD0\xC7\xC6\xDA\xC8\xFD",
                                      "\xD0\xC7\xC6\xDA\xCE\xE5", "\xD0\xC7\xC6\xDA\xC8\xD5"};

const char* const Captions[] = {"日期", "星期", "时间", "节目"};

} // namespace

QColor ScheduleRowColor(std::string_view weekday) {
    for (std::string_view day : GreenDays)
        if (weekday == day) return OddDayColor;
    return EvenDayColor;
}

TScheduleTableModel::TScheduleTableModel(QObject* parent) : QAbstractTableModel(parent) {
    SetFont(QFont());
}

void TScheduleTableModel::SetImages(const std::array<QIcon, 2>& imageList) {
    icons = imageList;
}

void TScheduleTableModel::SetFont(const QFont& font) {
    regularFont = boldFont = font;
    regularFont.setBold(false);
    boldFont.setBold(true);
}

int TScheduleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows.size());
}

int TScheduleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TScheduleTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows.size())) return {};
    const TScheduleTableRow& row = rows[std::size_t(index.row())];
    if (role == OnAirRole) return index.row() == onAirRow;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case colDate:
            return decode(row.Date);
        case colWeekday:
            return decode(row.Weekday);
        case colTime:
            return decode(row.Time);
        case colTitle:
            return decode(row.Title);
        }
        return {};
    }
    if (index.column() == colDate) return lvSchedulesCustomDrawItem(index.row(), role);
    return lvSchedulesCustomDrawSubItem(index.row(), index.column(), role);
}

QVariant TScheduleTableModel::lvSchedulesCustomDrawItem(int row, int role) const {
    const TScheduleTableRow& r = rows[std::size_t(row)];
    if (role == Qt::DecorationRole) {
        const QIcon& icon = icons[r.ImageIndex == 1 ? 1 : 0];
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    if (role == Qt::BackgroundRole) return ScheduleRowColor(r.Weekday);
    return {};
}

QVariant TScheduleTableModel::lvSchedulesCustomDrawSubItem(int row, int column, int role) const {
    if (role == Qt::FontRole) return column == colTitle ? boldFont : regularFont;
    if (role == Qt::BackgroundRole) return ScheduleRowColor(rows[std::size_t(row)].Weekday);
    return {};
}

QVariant TScheduleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return QString(Captions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TScheduleTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TScheduleTableModel::SetRows(std::vector<TScheduleTableRow> newRows) {
    beginResetModel();
    rows = std::move(newRows);
    onAirRow = -1;
    endResetModel();
}

void TScheduleTableModel::SetImageIndex(int row, int image) {
    if (row < 0 || row >= int(rows.size()) || rows[std::size_t(row)].ImageIndex == image) return;
    rows[std::size_t(row)].ImageIndex = image;
    QModelIndex cell = index(row, colDate);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

int TScheduleTableModel::FirstRowOfWeekday(std::string_view day) const {
    const std::string wanted = AsciiLower(day);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (AsciiLower(rows[i].Weekday) == wanted) return int(i);
    return -1;
}

void TScheduleTableModel::SetOnAirRow(int row) {
    if (row < 0 || row >= int(rows.size())) row = -1;
    if (row == onAirRow) return;
    const int before = onAirRow;
    onAirRow = row;
    for (int changed : {before, row})
        if (changed >= 0)
            emit dataChanged(index(changed, 0), index(changed, ColumnCount - 1), {OnAirRole});
}
