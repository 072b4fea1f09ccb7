// The main window: the station list on the left, the chosen station's
// programmes on the right with a tab per weekday, and the update, search and
// about commands. It owns the one open schedule file object.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "gui/U_MainFunGui.h"
#include "schedule/U_TvSchedule.h"

namespace Ui {
class TFrmMain;
}
class QItemSelection;
class QLabel;
class QListWidget;
class QProgressBar;
class QTabBar;
class QTableView;

class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrmMain(QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Runs the update dialog and gives its modal result; 1 means a new
    // lastsch.sch may be in place. Tests put their own dialog here.
    std::function<int()> RunUpdateDialog;
    // Runs the search dialog over Schedule() and the station lists.
    std::function<void()> RunSearchDialog;

    // Handlers. FormShow runs once, after the window is first shown.
    void FormShow();
    void lbTvSetsClick();
    void TBXItem7Click(); // update
    void TBXItem8Click(); // search
    void TBXItem5Click(); // about
    void TBXItem4Click(); // exit
    void TabSet1Change(int index);
    // Selects the first row of a weekday and scrolls it fully into view.
    void JumpToWeekday(const QString& dayText);

    // The schedule file object; none while an update runs or after an update
    // that did not end with result 1.
    TScheduleObject* Schedule() const { return schedule.get(); }
    Ui::TFrmMain* Controls() const { return ui.get(); }
    QListWidget* lbTvSets() const;
    QListWidget* lbPos() const;
    QTableView* lvSchedules() const;
    TScheduleTableModel* lvSchedulesModel() const { return model; }
    QLabel* Panel4() const;
    QProgressBar* Gauge1() const;
    QTabBar* TabSet1() const;
    const std::array<QIcon, 2>& ImageList1() const { return images; }

private:
    void FormCreate();
    void FormDestroy();
    void SetUpControls();
    void ConnectHandlers();
    // Moves the icon of the selected row: open folder there, closed elsewhere.
    void lvSchedulesSelectItem(const QItemSelection& selected, const QItemSelection& deselected);
    // Shows the selected station with the gauge visible while the rows fill.
    void ShowSelectedStation();
    // Empties both lists, the table and the caption.
    void ClearStation();
    // The status bar's second panel: when the schedule was built, or that
    // the station on show has run out of days.
    void ShowFreshness();
    // Runs a handler's body; a failure is shown in a message box and ends it.
    void Guarded(const std::function<void()>& body);

    std::unique_ptr<Ui::TFrmMain> ui;
    std::unique_ptr<TScheduleObject> schedule;
    TScheduleTableModel* model = nullptr;
    std::array<QIcon, 2> images;
    bool selectingInCode = false; // a selection the program makes raises no click
    QLabel* freshness = nullptr;
};
