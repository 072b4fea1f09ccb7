// The main window's ways of finding a station among many: the filter field
// above the station list and the favourites of its context menu.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScopedValueRollback>
#include <QShortcut>

#include "gui/U_FrmMain.h"
#include "gui/U_MainFunGuiFavourites.h"
#include "gui/U_MainFunGuiFilter.h"
#include "schedule/U_MainFunFavourites.h"
#include "ui_U_FrmMain.h"

namespace {

const char* const AddFavourite = "加入收藏";
const char* const RemoveFavourite = "取消收藏";

QStringList FavouriteNames() {
    QStringList names;
    for (const std::string& name : ReadFavourites())
        names << QString::fromLocal8Bit(name);
    return names;
}

// Escape clears the field; the arrow keys go on in the list below it.
class TFilterKeys : public QObject {
public:
    TFilterKeys(QLineEdit* field, QListWidget* list) : QObject(field), field(field), list(list) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            field->clear();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Return ||
            key == Qt::Key_Enter) {
            list->setFocus();
            return true;
        }
        return false;
    }

private:
    QLineEdit* field;
    QListWidget* list;
};

} // namespace

void TFrmMain::SetUpStationTools() {
    stationFilter = std::make_unique<TStationFilter>();
    stationFilterField = new QLineEdit(ui->Panel2);
    stationFilterField->setObjectName("etStationFilter");
    stationFilterField->setPlaceholderText("查找电视台 (Ctrl+L)");
    stationFilterField->setClearButtonEnabled(true);
    ui->layPanel2->insertWidget(0, stationFilterField);
    stationFilterField->installEventFilter(new TFilterKeys(stationFilterField, ui->lbTvSets));
    connect(stationFilterField, &QLineEdit::textChanged, this,
            [this](const QString& text) { etStationFilterChange(text); });
    auto* focusFilter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(focusFilter, &QShortcut::activated, this, [this] {
        stationFilterField->setFocus(Qt::ShortcutFocusReason);
        stationFilterField->selectAll();
    });

    favourites = FavouriteNames();
    ui->lbTvSets->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->lbTvSets, &QWidget::customContextMenuRequested, this,
            &TFrmMain::lbTvSetsContextPopup);
    // The keyboard's way to the same command, as a browser's bookmark.
    auto* toggle = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), ui->lbTvSets);
    toggle->setContext(Qt::WidgetShortcut);
    connect(toggle, &QShortcut::activated, this,
            [this] { Guarded([&] { ToggleFavourite(ui->lbTvSets->currentRow()); }); });
}

void TFrmMain::etStationFilterChange(const QString& text) {
    FilterStationList(ui->lbTvSets, ui->lbPos, text, *stationFilter);
}

void TFrmMain::ArrangeStationList() {
    if (!favourites.isEmpty()) {
        QScopedValueRollback<bool> quiet(selectingInCode, true);
        ArrangeStations(ui->lbTvSets, ui->lbPos, favourites);
    }
    etStationFilterChange(stationFilterField->text());
}

void TFrmMain::lbTvSetsContextPopup(const QPoint& pos) {
    QListWidgetItem* item = ui->lbTvSets->itemAt(pos);
    if (!item) return;
    const int row = ui->lbTvSets->row(item);
    QMenu menu(this);
    QAction* toggle =
        menu.addAction(item->data(FavouriteRole).toBool() ? RemoveFavourite : AddFavourite);
    toggle->setObjectName("lbTvSetsFavourite");
    if (menu.exec(ui->lbTvSets->viewport()->mapToGlobal(pos)) == toggle)
        Guarded([&] { ToggleFavourite(row); });
}

void TFrmMain::ToggleFavourite(int row) {
    QListWidgetItem* item = ui->lbTvSets->item(row);
    if (!item) return;
    QStringList changed = favourites;
    if (item->data(FavouriteRole).toBool())
        changed.removeAll(item->text());
    else
        changed << item->text();
    std::vector<std::string> names;
    for (const QString& name : changed)
        names.push_back(name.toLocal8Bit().toStdString());
    WriteFavourites(names); // a failure keeps the list as it was
    favourites = changed;

    // The same station stays selected (and on show), and the toggled one
    // current, each in its new place.
    const int selected = SelectedIndex(ui->lbTvSets);
    const QString shown = selected >= 0 ? ui->lbPos->item(selected)->text() : QString();
    const QString toggled = ui->lbPos->item(row) ? ui->lbPos->item(row)->text() : QString();
    QScopedValueRollback<bool> quiet(selectingInCode, true);
    ArrangeStations(ui->lbTvSets, ui->lbPos, favourites);
    etStationFilterChange(stationFilterField->text());
    for (int i = 0; i < ui->lbPos->count(); ++i) {
        const QString offset = ui->lbPos->item(i)->text();
        if (offset == toggled) ui->lbTvSets->setCurrentRow(i, QItemSelectionModel::NoUpdate);
    }
    ui->lbTvSets->clearSelection();
    for (int i = 0; i < ui->lbPos->count() && !shown.isEmpty(); ++i)
        if (ui->lbPos->item(i)->text() == shown)
            ui->lbTvSets->selectionModel()->select(ui->lbTvSets->model()->index(i, 0),
                                                   QItemSelectionModel::Select);
}

void TFrmMain::ShowStationAtNow(int row) {
    if (row < 0 || row >= ui->lbTvSets->count()) return;
    if (ui->lbTvSets->isRowHidden(row)) stationFilterField->clear();
    {
        QScopedValueRollback<bool> quiet(selectingInCode, true);
        ui->lbTvSets->setCurrentRow(row);
    }
    ShowSelectedStation();
    if (!SelectOnAir()) ui->TBXStatusBar1->showMessage("本台现在没有节目", 10000);
}
