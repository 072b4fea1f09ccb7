// The mark of the programme on air in the schedule table: a dark frame round
// the row and a bar at its left end, drawn over the row's own painting, so
// that it is seen on both weekday colours and with the selection, and the
// texts stay as they are.
#pragma once

#include <QStyledItemDelegate>

inline const QColor OnAirMarkColor(150, 0, 0);

class TOnAirMarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // Cells whose OnAirRole is true get their part of the mark.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
