// The programme search's worker: it walks the stations of the main window's
// list in order, reads each one through the main window's open schedule file
// and hands progress texts, result rows and its end notice to the dialog.
//
// The hand-over is an outbox under a mutex: the worker appends, and signals
// (queued) only when the outbox was empty or the search has ended; the dialog
// takes everything waiting at most every few milliseconds. So a worker that
// finds rows faster than they can be shown never floods the GUI thread's
// event queue, and the worker never waits for the GUI thread.
#pragma once

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "gui/U_FrmSearchResults.h"
#include "schedule/U_MainFunSearch.h"

class TScheduleObject;

// What the worker hands to the GUI thread.
struct TSearchMessage {
    enum TKind { smProgress, smRows, smEnd };
    TKind Kind = smProgress;
    // smProgress: the progress text; smEnd: the name of the station that could
    // not be read, empty when none failed. GBK.
    std::string Text;
    TSearchBatchPtr Rows; // smRows
};

class TTvSearchThread : public QThread {
    Q_OBJECT
public:
    // The points where the worker can be held. Tests hook them to step the
    // worker deterministically.
    enum TSafePoint {
        spStation, // station i is about to be read; its progress text is sent
        spPausing  // the worker is about to wait at a pause before station i
    };
    using TSafePointHook = std::function<void(int station, TSafePoint point)>;

    TTvSearchThread(TScheduleObject* schedule, std::string key, StationSnapshot stations,
                    std::atomic<bool>& stopRequested);
    // Stops, lets a paused worker go on, and waits for its end.
    ~TTvSearchThread() override;

    // GUI thread: hold the worker at its next station boundary; let it go on.
    void Pause();
    void Resume();
    // GUI thread: moves every message sent so far to the end of inbox.
    void TakeMessages(std::deque<TSearchMessage>& inbox);

    TSafePointHook OnSafePoint; // called on the worker thread, when assigned

    TScheduleObject* Schedule; // the main window's open file; not owned
    std::string_view Text;     // the text of the station being searched
    TStationMatches Found;     // its lines that hold the key
    std::string Key;           // GBK; empty when it cannot occur in any text
    TKeyFinder Finder{Key};    // finds Key, adapted to the first station text
    StationSnapshot Stations;

signals:
    // Messages wait in an outbox that was empty, or the end notice was sent
    // (last): the GUI thread should take them.
    void MessagesPosted(bool last);

protected:
    void run() override;

private:
    bool SearchStation(int i);
    void WaitWhilePaused(int i);
    void Send(TSearchMessage message);

    std::atomic<bool>& StopRequested;
    // Pausing, after Qt's mandelbrot RenderThread: a flag under a mutex and a
    // condition the worker waits on at a station boundary, where it holds
    // nothing the GUI thread could wait for.
    std::mutex pauseMutex;
    std::condition_variable resumed;
    bool paused = false;
    // The messages sent and not yet taken, in order.
    std::mutex outboxMutex;
    std::deque<TSearchMessage> outbox;
};
