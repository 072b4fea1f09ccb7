// The main window: the station list on the left, the chosen station's
// programmes on the right with a tab per weekday, and the update, search and
// about commands. It owns the one open schedule file object.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "gui/U_MainFunGui.h"
#include "schedule/U_MainFunOnAir.h"
#include "schedule/U_TvSchedule.h"

namespace Ui {
class TFrmMain;
}
class QAction;
class QItemSelection;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QTabBar;
class QTableView;
class QTimer;
class TStationFilter;

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

    // The clock of the on-air mark, 现在 and 正在播出 (local time).
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

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
    // What is on now: 现在 shows the programme on air of the station on show,
    // 正在播出 every station's; the timer moves the table's mark.
    void TBXItemNowClick();
    void TBXItemOnAirClick();
    void OnAirTimerTimer();
    // The station filter above lbTvSets, and the favourites of its context menu.
    void etStationFilterChange(const QString& text);
    void lbTvSetsContextPopup(const QPoint& pos);
    void ToggleFavourite(int row); // an entry of lbTvSets

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
    QAction* TBXItemNow() const { return nowItem; }
    QAction* TBXItemOnAir() const { return onAirItem; }
    QTimer* OnAirTimer() const { return onAirTimer; }
    QLineEdit* etStationFilter() const { return stationFilterField; }
    const QStringList& Favourites() const { return favourites; }

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
    // The parts of the window for what is on now and for finding a station.
    void SetUpOnAir();
    void SetUpStationTools();
    // After every load of the lists: favourites first, then the filter.
    void ArrangeStationList();
    // Selects entry row of lbTvSets without a click event, shows that station
    // and its programme on air.
    void ShowStationAtNow(int row);
    // Selects the programme on air in the table; false when there is none.
    bool SelectOnAir();
    // Runs a handler's body; a failure is shown in a message box and ends it.
    void Guarded(const std::function<void()>& body);

    std::unique_ptr<Ui::TFrmMain> ui;
    std::unique_ptr<TScheduleObject> schedule;
    TScheduleTableModel* model = nullptr;
    std::array<QIcon, 2> images;
    bool selectingInCode = false; // a selection the program makes raises no click
    QLabel* freshness = nullptr;
    QAction* nowItem = nullptr;
    QAction* onAirItem = nullptr;
    QTimer* onAirTimer = nullptr;
    TStartMinutes onAirStarts; // of the rows on show
    QLineEdit* stationFilterField = nullptr;
    std::unique_ptr<TStationFilter> stationFilter;
    QStringList favourites;
};
