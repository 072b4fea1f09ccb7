#include "gui/U_FrmOnAir.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/U_MainFunGui.h"

TFrmOnAir::TFrmOnAir(QWidget* parent, TScheduleObject& schedule, const QListWidget* lbTvSets,
                     const QListWidget* lbPos, std::function<QDateTime()> clock)
    : QDialog(parent), clock(std::move(clock)), filterField(new QLineEdit(this)),
      table(new QTableView(this)), model(new TOnAirTableModel(this)),
      filtered(new TOnAirFilterModel(this)), timer(new QTimer(this)) {
    setObjectName("TFrmOnAir");
    setWindowTitle("正在播出");
    resize(760, 520);
    filterField->setObjectName("etFilter");
    filterField->setPlaceholderText("电视台、拼音首字母或节目");
    filterField->setClearButtonEnabled(true);
    table->setObjectName("lvOnAir");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filterField);
    layout->addWidget(table);

    model->Load(schedule, TakeStationSnapshot(lbTvSets, lbPos), this->clock());
    filtered->setSourceModel(model);
    table->setModel(filtered);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionsClickable(false);
    table->setColumnWidth(TOnAirTableModel::colStation, 150);
    table->setColumnWidth(TOnAirTableModel::colNowStart, 90);
    table->setColumnWidth(TOnAirTableModel::colNowTitle, 200);
    table->setColumnWidth(TOnAirTableModel::colNextStart, 90);
    table->horizontalHeader()->setStretchLastSection(true);
    if (filtered->rowCount() > 0) table->setCurrentIndex(filtered->index(0, 0));

    connect(filterField, &QLineEdit::textChanged, this, [this](const QString& text) {
        filtered->SetText(text);
        if (!table->currentIndex().isValid() && filtered->rowCount() > 0)
            table->setCurrentIndex(filtered->index(0, 0));
    });
    connect(table, &QAbstractItemView::activated, this, &TFrmOnAir::lvOnAirActivate);
    filterField->installEventFilter(this);
    connect(timer, &QTimer::timeout, this, &TFrmOnAir::RefreshTimerTimer);
    timer->start(10 * 1000);
    filterField->setFocus();
}

void TFrmOnAir::RefreshTimerTimer() {
    model->MoveTo(clock());
}

void TFrmOnAir::lvOnAirActivate(const QModelIndex& index) {
    if (!index.isValid()) return;
    chosen = model->Station(filtered->mapToSource(index).row()).ListRow;
    accept();
}

// In the filter field: Enter chooses the current row, the arrow keys move to
// the table, and Escape clears a text before it closes the view.
bool TFrmOnAir::eventFilter(QObject* watched, QEvent* event) {
    if (watched != filterField || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        lvOnAirActivate(table->currentIndex());
        return true;
    }
    if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown ||
        key == Qt::Key_PageUp) {
        table->setFocus();
        QCoreApplication::sendEvent(table, event);
        return true;
    }
    if (key == Qt::Key_Escape && !filterField->text().isEmpty()) {
        filterField->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
