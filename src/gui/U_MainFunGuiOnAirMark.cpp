#include "gui/U_MainFunGuiOnAirMark.h"

#include <QPainter>

#include "gui/U_MainFunGuiModel.h"

namespace {

constexpr int FrameWidth = 2; // above and below the row, and at its right end
constexpr int BarWidth = 4;   // at its left end

} // namespace

void TOnAirMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (!index.data(OnAirRole).toBool()) return;
    const QRect cell = option.rect;
    painter->save();
    painter->fillRect(QRect(cell.left(), cell.top(), cell.width(), FrameWidth), OnAirMarkColor);
    painter->fillRect(QRect(cell.left(), cell.bottom() - FrameWidth + 1, cell.width(), FrameWidth),
                      OnAirMarkColor);
    if (index.column() == 0)
        painter->fillRect(QRect(cell.left(), cell.top(), BarWidth, cell.height()), OnAirMarkColor);
    if (index.column() == index.model()->columnCount(index.parent()) - 1)
        painter->fillRect(
            QRect(cell.right() - FrameWidth + 1, cell.top(), FrameWidth, cell.height()),
            OnAirMarkColor);
    painter->restore();
}
