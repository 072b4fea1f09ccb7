// Running the event loop in a test until something has happened.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

// Runs the event loop until done() holds. The watchdog tick wakes the loop:
// a broken test fails instead of hanging, and Qt's own event dispatcher (the
// one without GLib), which waits on after the events it handled, checks
// done() again.
inline bool WaitUntil(const std::function<bool()>& done) {
    QTimer watchdog;
    watchdog.start(20);
    QDeadlineTimer limit(std::chrono::seconds(30));
    while (!done()) {
        if (limit.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
