// Two controls of the main window that Qt has no ready match for.
#pragma once

#include <QHeaderView>
#include <QProgressBar>

// Gauge1: a black bar on white with its percentage, position * 100 / maximum
// truncated, and 0% when the maximum is 0 (where a QProgressBar would show a
// busy indicator instead).
class TGauge : public QProgressBar {
public:
    explicit TGauge(QWidget* parent = nullptr);
    QString text() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// HeaderControl1: a flat header with one fixed, centred, unclickable section
// as wide as the control.
class THeaderControl : public QHeaderView {
public:
    explicit THeaderControl(QWidget* parent = nullptr);
    void SetCaption(const QString& caption);
    // Its caption is all it needs room for; a header never scrolls.
    QSize minimumSizeHint() const override { return sizeHint(); }
};
