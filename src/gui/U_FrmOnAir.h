// The 正在播出 view: what is on air on every station and what comes next, with
// a filter field. Choosing a row (double-click or Enter) closes the view with
// that station chosen; while it is open it follows the clock.
#pragma once

#include <QDialog>
#include <functional>

#include "gui/U_FrmOnAirModel.h"

class QLineEdit;
class QListWidget;
class QTableView;
class QTimer;

class TFrmOnAir : public QDialog {
    Q_OBJECT
public:
    // Reads every station of the two lists through schedule, at clock().
    TFrmOnAir(QWidget* parent, TScheduleObject& schedule, const QListWidget* lbTvSets,
              const QListWidget* lbPos, std::function<QDateTime()> clock);

    // The entry of lbTvSets chosen, or -1.
    int ChosenStation() const { return chosen; }

    QLineEdit* etFilter() const { return filterField; }
    QTableView* lvOnAir() const { return table; }
    TOnAirTableModel* Model() const { return model; }
    TOnAirFilterModel* Filtered() const { return filtered; }
    // The refresh: every 10 seconds, so a change shows within a minute.
    QTimer* RefreshTimer() const { return timer; }
    void RefreshTimerTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void lvOnAirActivate(const QModelIndex& index);

    std::function<QDateTime()> clock;
    QLineEdit* filterField;
    QTableView* table;
    TOnAirTableModel* model;
    TOnAirFilterModel* filtered;
    QTimer* timer;
    int chosen = -1;
};
