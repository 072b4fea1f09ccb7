// The printed week of one station, and Qt's print preview of it: a heading
// with the station's name and when its schedule was built, then each day on
// pages of its own, headed by its date and weekday, one row per programme
// (time and title) on a light band of the weekday's colour, and the page
// number at the foot of every page. The bands are light tints under black
// text, so a black-and-white print reads as well as a colour one.
#pragma once

#include <QDateTime>
#include <QPrintPreviewDialog>
#include <QString>
#include <vector>

#include "schedule/U_MainFunText.h"

class QPrinter;

struct TPrintWeek {
    QString Station;
    QDateTime BuildTime;           // not shown when invalid
    std::vector<ScheduleRow> Rows; // GBK texts; Date, Weekday, Time and Title are printed
};

// A schedule file's build time (days since 30 December 1899, local time) as a
// date and time; invalid for a file that never recorded one (0 or less).
QDateTime ScheduleBuildTime(double days);

// Lays the week out on the printer's pages (its page size, orientation and
// margins) and paints every page with its foot line: the station's name and
// "第 n 页，共 m 页". Gives the number of pages.
int PrintWeek(const TPrintWeek& week, QPrinter* printer);

// The preview of a week, on A4 paper until the user picks another size;
// its print button prints to a printer or to a PDF file.
class TFrmPrint : public QPrintPreviewDialog {
    Q_OBJECT
public:
    TFrmPrint(QWidget* parent, TPrintWeek week);
    ~TFrmPrint() override;

    // The paint request of the preview and of printing.
    void PrintPreviewPaint(QPrinter* printer);
    int PageCount() const { return pages; }

private:
    TPrintWeek week;
    int pages = 0;
};
