#include "gui/U_MainFunGuiFavourites.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

#include "gui/U_MainFunGui.h"

namespace {

struct TEntry {
    QString name;
    QVariant gbk;
    QString offset;
    int fileOrder;
    int rank; // place in the favourites, or past them
};

QPolygonF Star(QPointF centre, double outer, double inner) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const double r = i % 2 == 0 ? outer : inner;
        star << centre + QPointF(r * std::cos(angle), r * std::sin(angle));
    }
    return star;
}

} // namespace

void ArrangeStations(QListWidget* names, QListWidget* offsets, const QStringList& favourites) {
    const int count = std::min(names->count(), offsets->count());
    std::vector<TEntry> entries;
    entries.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const QListWidgetItem* item = names->item(i);
        const QVariant order = item->data(FileOrderRole);
        const int rank = int(favourites.indexOf(item->text()));
        entries.push_back({item->text(), item->data(GbkNameRole), offsets->item(i)->text(),
                           order.isValid() ? order.toInt() : i,
                           rank < 0 ? int(favourites.size()) : rank});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.fileOrder < b.fileOrder;
    });
    for (int i = 0; i < count; ++i) {
        const TEntry& e = entries[std::size_t(i)];
        QListWidgetItem* item = names->item(i);
        item->setText(e.name);
        item->setData(GbkNameRole, e.gbk);
        item->setData(FileOrderRole, e.fileOrder);
        item->setData(FavouriteRole, e.rank < favourites.size());
        offsets->item(i)->setText(e.offset);
    }
}

void DrawFavouriteMark(QPainter* canvas, const QRect& entry, bool selected) {
    const QRect patch(entry.left() + entry.width() - 18, entry.top() + 2, 16, entry.height() - 4);
    if (patch.left() < entry.left() + 30) return; // no room beside the number box
    canvas->save();
    canvas->fillRect(patch, selected ? ColorValue(16366259) : QColor(Qt::white));
    canvas->setRenderHint(QPainter::Antialiasing, true);
    canvas->setPen(QPen(QColor(140, 90, 0), 1));
    canvas->setBrush(QColor(255, 190, 0));
    canvas->drawPolygon(Star(QRectF(patch).center(), 7, 3));
    canvas->restore();
}
