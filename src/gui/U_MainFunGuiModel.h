// The rows of the main window's schedule table (lvSchedules). A model rather
// than items: a station's week fills in one reset, and the view asks only for
// the rows it paints. Texts stay GBK bytes and are decoded when shown.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/CodePage.h"

struct TScheduleTableRow {
    std::string Date; // caption
    std::string Weekday;
    std::string Time;
    std::string Title;
    int ImageIndex = 0; // into the image list: 0 closed folder, 1 open folder
};

// True in the cells of the row on air, which its delegate marks.
inline constexpr int OnAirRole = Qt::UserRole + 1;

class TScheduleTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colDate, colWeekday, colTime, colTitle, ColumnCount };

    explicit TScheduleTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every row at once (one model reset).
    void SetRows(std::vector<TScheduleTableRow> newRows);
    const TScheduleTableRow& Row(int row) const { return rows[std::size_t(row)]; }
    // Changes a row's icon; the row is painted again when it changes.
    void SetImageIndex(int row, int image);
    void SetImages(const std::array<QIcon, 2>& imageList);
    // The table's own font, of which the title column shows the bold cut.
    void SetFont(const QFont& font);

    // The row on air, -1 for none; its cells are painted again when it moves.
    // A new set of rows has none.
    void SetOnAirRow(int row);
    int OnAirRow() const { return onAirRow; }

    // The first row whose weekday equals day after ASCII lower-casing, or -1.
    int FirstRowOfWeekday(std::string_view day) const;

    // Row painting: the icon by the row's image index and the row colour
    // behind the caption (column 0).
    QVariant lvSchedulesCustomDrawItem(int row, int role) const;
    // Cell painting of columns 1 to 3: the bold title and the row colour.
    QVariant lvSchedulesCustomDrawSubItem(int row, int column, int role) const;

private:
    std::vector<TScheduleTableRow> rows;
    int onAirRow = -1;
    // Made once: the view asks for them for every cell it paints.
    std::array<QIcon, 2> icons;
    QFont regularFont, boldFont;
    mutable platform::GbkDecoder decode; // one for the whole table
};

// A colour value: red in the low byte, then green, then blue, high byte 0.
inline QColor ColorValue(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

// The background of a schedule row by its weekday (GBK bytes): 星期一, 星期三,
// 星期五 and 星期日 exactly get (227, 254, 226), any other text (218, 227, 252).
QColor ScheduleRowColor(std::string_view weekday);
// Weekdays are compared after ASCII lower-casing.
using platform::AsciiLower;
