// Programmes out of the program, as the windows offer it: the week or the
// search results into an iCalendar or CSV file the user picks, and one
// programme into the desktop's calendar.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "schedule/U_MainFunExport.h"

class QWidget;

// The desktop around the commands: the save dialog and the program that
// opens a file. Tests put their own here.
struct TExportDesktop {
    // The path the user picked, or empty when they cancelled. With
    // calendarOnly only an iCalendar file is offered; format tells which
    // kind of file was chosen.
    std::function<QString(QWidget* parent, const QString& suggestedName, bool calendarOnly,
                          TExportFormat& format)>
        PickFile;
    // Opens a file with the desktop's program for it; false when none could.
    std::function<bool(const QString& path)> OpenFile;
};
TExportDesktop& ExportDesktop();

// Writes text to path whole or not at all; throws with the reason.
void WriteExportFile(const QString& path, const std::string& text);

// 导出: the events into a file of the kind the user picks. false when the
// user cancelled or the file could not be written (which is shown).
bool ExportEvents(QWidget* parent, const TProgrammeEvents& events, const QString& suggestedName,
                  const QString& calendarName);

// 加入日历: the event, with an alarm five minutes before it starts, into an
// iCalendar file the user picks, then opened by the desktop's calendar.
bool AddToCalendar(QWidget* parent, const TProgrammeEvent& event);
inline constexpr int CalendarAlarmMinutes = 5;
