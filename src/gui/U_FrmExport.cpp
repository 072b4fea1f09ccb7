#include "gui/U_FrmExport.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <stdexcept>

#include "platform/CodePage.h"
#include "schedule/U_MainFunICalendar.h"

namespace {

const QString CalendarFilter = "iCalendar (*.ics)";
const QString CsvFilter = "CSV (*.csv)";

// A file name of the user's text: no folder separators, nothing hidden.
QString FileNameOf(QString text) {
    for (QChar& c : text)
        if (c == '/' || c == '\\' || c.category() == QChar::Other_Control) c = '_';
    while (text.startsWith('.'))
        text.remove(0, 1);
    return text.isEmpty() ? "节目" : text;
}

QString PickWithDialog(QWidget* parent, const QString& suggestedName, bool calendarOnly,
                       TExportFormat& format) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    const QString filters = calendarOnly ? CalendarFilter : CalendarFilter + ";;" + CsvFilter;
    QString chosen = CalendarFilter;
    QString path = QFileDialog::getSaveFileName(
        parent, calendarOnly ? "加入日历" : "导出节目",
        QDir(folder).filePath(FileNameOf(suggestedName) + ".ics"), filters, &chosen);
    if (path.isEmpty()) return path;
    // The kind follows the name's ending where it has one, else the filter.
    const bool csv =
        !calendarOnly && (path.endsWith(".csv", Qt::CaseInsensitive) ||
                          (!path.endsWith(".ics", Qt::CaseInsensitive) && chosen == CsvFilter));
    format = csv ? TExportFormat::efCsv : TExportFormat::efICalendar;
    const QString ending = csv ? ".csv" : ".ics";
    if (!path.endsWith(ending, Qt::CaseInsensitive)) path += ending;
    return path;
}

void ShowFailure(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, "Vimbrel", text);
}

} // namespace

TExportDesktop& ExportDesktop() {
    static TExportDesktop desktop{PickWithDialog, [](const QString& path) {
                                      return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
                                  }};
    return desktop;
}

void WriteExportFile(const QString& path, const std::string& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
        throw std::runtime_error(
            ("无法写入文件：" + QDir::toNativeSeparators(path) + "（" + file.errorString() + "）")
                .toStdString());
}

bool ExportEvents(QWidget* parent, const TProgrammeEvents& events, const QString& suggestedName,
                  const QString& calendarName) {
    TExportFormat format = TExportFormat::efICalendar;
    const QString path = ExportDesktop().PickFile(parent, suggestedName, false, format);
    if (path.isEmpty()) return false;
    try {
        WriteExportFile(path, ExportText(events, format, calendarName.toStdString()));
    } catch (const std::exception& error) {
        ShowFailure(parent, QString::fromUtf8(error.what()));
        return false;
    }
    return true;
}

bool AddToCalendar(QWidget* parent, const TProgrammeEvent& event) {
    const QString title = platform::GbkToQString(event.Row.Title);
    if (!event.Start) {
        ShowFailure(parent, "节目“" + title + "”没有可用的日期和时间，无法加入日历");
        return false;
    }
    TExportFormat format = TExportFormat::efICalendar;
    const QString path = ExportDesktop().PickFile(parent, title, true, format);
    if (path.isEmpty()) return false;
    TICalendarOptions options;
    options.AlarmMinutes = CalendarAlarmMinutes;
    try {
        WriteExportFile(path, ICalendarText({event}, options));
    } catch (const std::exception& error) {
        ShowFailure(parent, QString::fromUtf8(error.what()));
        return false;
    }
    if (!ExportDesktop().OpenFile(path)) {
        ShowFailure(parent,
                    "已保存到 " + QDir::toNativeSeparators(path) + "，但没有找到打开它的日历程序");
        return false;
    }
    return true;
}
