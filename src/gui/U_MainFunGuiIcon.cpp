#include "gui/U_MainFunGuiIcon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <map>
#include <tuple>

namespace {

class TDrawnIconEngine : public QIconEngine {
public:
    TDrawnIconEngine(QSize designSize, TDrawIcon draw)
        : designSize(designSize), draw(std::move(draw)) {}

    QIconEngine* clone() const override { return new TDrawnIconEngine(designSize, draw); }
    QString key() const override { return QStringLiteral("vimbrel-drawn"); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        // Drawn as small as designed at most, as an icon of one image is.
        return designSize.scaled(designSize.boundedTo(size), Qt::KeepAspectRatio);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // size is in device pixels; scale is the device pixel ratio it is for.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const QSize pixels = actualSize(size / scale, mode, QIcon::Off) * scale;
        const auto key = std::make_tuple(pixels.width(), pixels.height(), int(mode), scale);
        auto cached = cache.find(key);
        if (cached != cache.end()) return cached->second;
        QPixmap pixmap = Draw(pixels, mode);
        pixmap.setDevicePixelRatio(scale);
        return cache.emplace(key, pixmap).first->second;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale = painter->device()->devicePixelRatio();
        const QRect target = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                                 actualSize(rect.size(), mode, state), rect);
        painter->drawPixmap(target, scaledPixmap(target.size() * scale, mode, state, scale));
    }

private:
    QPixmap Draw(QSize pixels, QIcon::Mode mode) const {
        QPixmap pixmap(pixels);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.scale(qreal(pixels.width()) / designSize.width(),
                          qreal(pixels.height()) / designSize.height());
            draw(painter);
        }
        if (mode == QIcon::Normal || mode == QIcon::Active) return pixmap;
        // The greyed and the selected looks come from the style, as for any icon.
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
    }

    QSize designSize;
    TDrawIcon draw;
    // The view asks for the same icon for every row it paints.
    std::map<std::tuple<int, int, int, qreal>, QPixmap> cache;
};

} // namespace

QIcon DrawnIcon(QSize designSize, TDrawIcon draw) {
    return QIcon(new TDrawnIconEngine(designSize, std::move(draw)));
}
