#include "gui/U_FrmMainControls.h"

#include <QPainter>
#include <QStandardItemModel>

TGauge::TGauge(QWidget* parent) : QProgressBar(parent) {}

QString TGauge::text() const {
    const qint64 span = qint64(maximum()) - minimum();
    const qint64 done = qint64(value()) - minimum();
    return QString("%1%").arg(span <= 0 || done < 0 ? 0 : done * 100 / span);
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    p.fillRect(rect(), Qt::black); // the 1-pixel frame
    p.fillRect(area, Qt::white);
    const qint64 span = qint64(maximum()) - minimum();
    const qint64 done = qint64(value()) - minimum();
    int width = span <= 0 || done <= 0 ? 0 : int(area.width() * std::min(done, span) / span);
    const QRect bar(area.left(), area.top(), width, area.height());
    p.fillRect(bar, Qt::black);
    // The text is black over white and white over the bar.
    const QString caption = text();
    p.setClipRect(area);
    p.setPen(Qt::black);
    p.drawText(area, Qt::AlignCenter, caption);
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(area, Qt::AlignCenter, caption);
}

THeaderControl::THeaderControl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    auto* sections = new QStandardItemModel(0, 1, this);
    setModel(sections);
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Stretch);
    setDefaultAlignment(Qt::AlignCenter);
}

void THeaderControl::SetCaption(const QString& caption) {
    model()->setHeaderData(0, Qt::Horizontal, caption);
}
