#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "gui/U_MainFunGui.h"
#include "gui/U_MainFunGuiFavourites.h"
#include "gui/U_MainFunGuiIcon.h"

namespace {

constexpr unsigned StartColor = 16573402;  // (218, 227, 252), left edge of the gradient
constexpr unsigned EndColor = 16366259;    // (179, 186, 249), right edge and the box fill
constexpr unsigned NumberColor = 16711680; // (0, 0, 255)

// One component of the gradient at column x of an entry whose right edge is r.
int GradientComponent(int c1, int c2, int x, int r) {
    return c1 - (c1 - c2) * x / r;
}

QColor GradientColor(int x, int r) {
    const QColor a = ColorValue(StartColor), b = ColorValue(EndColor);
    return QColor(GradientComponent(a.red(), b.red(), x, r),
                  GradientComponent(a.green(), b.green(), x, r),
                  GradientComponent(a.blue(), b.blue(), x, r));
}

// Column by column from L up to the right edge (the column at R itself lies
// outside the entry). Neighbouring columns of the same colour are filled as
// one rectangle: the components change by at most 41 steps over the width.
void FillGradient(QPainter* canvas, const QRect& rect) {
    const int left = rect.left(), right = rect.left() + rect.width();
    if (right <= 0) return; // a collapsed list: the rule divides by R
    int runStart = left;
    QColor runColor = GradientColor(left, right);
    for (int x = left + 1; x <= right; ++x) {
        QColor color = x < right ? GradientColor(x, right) : QColor();
        if (color == runColor) continue;
        canvas->fillRect(QRect(runStart, rect.top(), x - runStart, rect.height()), runColor);
        runStart = x;
        runColor = color;
    }
}

} // namespace

void DrawStationItem(QPainter* canvas, const QModelIndex& entry, const QFont& font,
                     QStyle::State state, QRect rect) {
    const bool selected = state & QStyle::State_Selected;
    const int L = rect.left(), T = rect.top(), R = rect.left() + rect.width();
    canvas->save();
    canvas->setRenderHint(QPainter::Antialiasing, false);
    QColor fill = Qt::white;
    if (selected) {
        FillGradient(canvas, rect);
        fill = ColorValue(EndColor);
    } else {
        canvas->fillRect(rect, Qt::white);
    }
    // The number box: a 1-pixel black outline around the fill colour.
    const QRect box(L + 2, T + 4, 25, 16);
    canvas->fillRect(box, Qt::black);
    canvas->fillRect(box.adjusted(1, 1, -1, -1), fill);

    QFont numberFont = font;
    numberFont.setPointSize(8);
    numberFont.setBold(selected);
    canvas->setFont(numberFont);
    canvas->setPen(ColorValue(NumberColor));
    canvas->setBackgroundMode(Qt::TransparentMode);
    canvas->setClipRect(box);
    canvas->drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QString::number(entry.row() + 1));

    // No mnemonic flag: an ampersand in a name is drawn as itself.
    const QRect nameArea(L + 30, T, R - (L + 30), rect.height());
    canvas->setClipRect(nameArea);
    canvas->setFont(font);
    canvas->setPen(Qt::black);
    if (entry.isValid() && nameArea.width() > 0)
        canvas->drawText(nameArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         entry.data(Qt::DisplayRole).toString());
    canvas->restore();
}

void DrawStationItem(const QListWidget* list, QPainter* canvas, int index, QStyle::State state,
                     QRect rect) {
    DrawStationItem(canvas, list->model()->index(index, 0), list->font(), state, rect);
}

TStationItemDelegate::TStationItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void TStationItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    // The entry spans the list's client width from its left edge.
    const QRect rect(0, option.rect.top(), option.rect.right() + 1, option.rect.height());
    lbTvSetsDrawItem(painter, index, rect, option.state, option.font);
    if (index.data(FavouriteRole).toBool())
        DrawFavouriteMark(painter, rect, option.state & QStyle::State_Selected);
    if (option.state & QStyle::State_HasFocus) {
        // As the item views draw theirs: styles that show focus only after
        // keyboard use are told that it happened.
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = rect;
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = option.palette.color(QPalette::Base);
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

void TStationItemDelegate::lbTvSetsDrawItem(QPainter* canvas, const QModelIndex& index,
                                            const QRect& rect, QStyle::State state,
                                            const QFont& font) const {
    DrawStationItem(canvas, index, font, state, rect);
}

QSize TStationItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return QSize(1, StationItemHeight);
}

namespace {

// A folder outline, closed or with its front flap opened; black lines on white,
// one device pixel wide at every scale.
void DrawFolder(QPainter& p, bool open) {
    p.fillRect(QRectF(0, 0, 16, 16), Qt::white);
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    // The tab and the back of the folder.
    p.drawPolyline(QPolygon({{1, 13}, {1, 3}, {2, 2}, {6, 2}, {7, 4}, {13, 4}, {13, 6}}));
    if (!open) {
        p.drawRect(1, 5, 13, 8);
    } else {
        // The front flap tilted forward, its lower edge on the back's.
        p.drawPolygon(QPolygon({{1, 13}, {4, 7}, {15, 7}, {12, 13}}));
    }
}

} // namespace

std::array<QIcon, 2> MakeFolderImages() {
    return {DrawnIcon({16, 16}, [](QPainter& p) { DrawFolder(p, false); }),
            DrawnIcon({16, 16}, [](QPainter& p) { DrawFolder(p, true); })};
}
