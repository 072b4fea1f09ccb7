// The programme search dialog. Its worker, TTvSearchThread, lives in
// U_FrmSearchWorker; the dialog starts it, shows what it sends in the order it
// was sent, and pauses or stops it.
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <string>

#include "gui/U_FrmSearchResults.h"
#include "gui/U_FrmSearchWorker.h"

class QLabel;
class QListWidget;
class QTimer;
class TScheduleObject;
namespace Ui {
class TFrmSearch;
}

class TFrmSearch : public QDialog {
    Q_OBJECT
public:
    TFrmSearch(QWidget* parent, TScheduleObject* schedule, const QListWidget* lbTvSets,
               const QListWidget* lbPos);
    ~TFrmSearch() override;

    void btnSearchClick();
    void btnPauseClick();
    void btnStopClick();
    void SpeedButton1Click();
    // GUI thread, when the worker's end notice comes up in the message order.
    void SearchFinished(const std::string& unreadStation);

    // Every way of closing (关闭, the title bar, Escape) comes here: a running
    // or paused search is ended first, while the dialog is still modal.
    void done(int result) override;

    std::unique_ptr<Ui::TFrmSearch> ui;
    TSearchResultModel* Results;
    QLabel* HintPanel; // panel 0 of BarHint: the progress text
    QLabel* NotePanel; // panel 1: why a search ended early
    std::atomic<bool> StopRequested{false};
    std::unique_ptr<TTvSearchThread> Worker;             // the search running or paused
    TTvSearchThread::TSafePointHook WorkerSafePointHook; // handed to every worker
    // Rows the list is told of at once, at most. The view's cost of a step
    // grows with the rows it already holds as well as the new ones: half a
    // million keeps a step of a search with millions of rows at about 25 ms
    // on a slow machine, where a million took 50.
    int RowsPerPublish = 500000;

private:
    void StartWorker(std::string key);
    void ScheduleDrain(bool now);
    void DrainMessages();
    void EndSearchForClose();
    void WorkerFinished(quint64 search);

    TScheduleObject* Schedule;
    const QListWidget* StationNames;
    const QListWidget* StationOffsets;
    QTimer* DrainTimer;
    bool EndSeen = false; // the worker's end notice is taken; rows may wait
    std::string UnreadStation;
    quint64 SearchCount = 0;
    quint64 WorkerSearch = 0; // the number of the search Worker runs; 0 for none
    bool WorkerEnded = false; // Worker's thread has finished
    bool Closing = false;     // nothing the worker sends is shown any more
    class QEventLoop* CloseLoop = nullptr;
};
