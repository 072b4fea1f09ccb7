#include "gui/U_MainFunGuiFit.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QSplitter>
#include <QStatusBar>

namespace {

bool InLayout(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    return parent && parent->layout() && parent->layout()->indexOf(w) >= 0;
}

// Containers of the design, whose children are the form's own controls. The
// children of other widgets (a table's viewport, a tab bar's scroll buttons)
// are the toolkit's to place.
bool IsDesignContainer(const QWidget* w) {
    const QMetaObject* kind = w->metaObject();
    return kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject ||
           kind == &QSplitter::staticMetaObject || qobject_cast<const QGroupBox*>(w);
}

// What a control needs to show its whole text: a label that wraps needs the
// height of its text at its designed width.
QSize TextNeed(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control); label && label->wordWrap())
        return {label->minimumSizeHint().width(), label->heightForWidth(label->width())};
    if (qobject_cast<QGroupBox*>(control)) return control->minimumSizeHint();
    return control->sizeHint();
}

void FitControl(QWidget* control) {
    control->ensurePolished(); // measured with the style's metrics
    if (control->minimumHeight() == control->maximumHeight()) {
        // A bar of a fixed designed height, laid out with the others.
        control->setFixedHeight(std::max(control->minimumHeight(), control->sizeHint().height()));
    } else if (InLayout(control)) {
        return; // its layout gives it what it asks for
    } else if (auto* bar = qobject_cast<QStatusBar*>(control)) {
        // The status bar keeps its bottom edge at the form's.
        const QRect place = bar->geometry();
        const int height = std::max(place.height(), bar->sizeHint().height());
        bar->setGeometry(place.left(), place.bottom() + 1 - height, place.width(), height);
    } else if (qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control) ||
               qobject_cast<QGroupBox*>(control)) {
        control->resize(control->size().expandedTo(TextNeed(control)));
    }
}

void FitChildren(QWidget* parent) {
    for (QWidget* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) continue; // menus
        FitControl(child);
        if (IsDesignContainer(child)) FitChildren(child);
    }
}

} // namespace

void FitToText(QWidget* form) {
    FitChildren(form);
}
