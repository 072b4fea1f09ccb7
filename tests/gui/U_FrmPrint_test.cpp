#include <QAction>
#include <QMenu>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>

#include "GuiTestSupport.h"
#include "gui/U_FrmExport.h"
#include "gui/U_FrmMain.h"
#include "gui/U_FrmMainExport.h"
#include "gui/U_FrmPrint.h"
#include "support/ICalendarReadBack.h"
#include "ui_U_FrmMain.h"

namespace {

// A week of days, each with rows titled "<title> <day>-<row>".
TPrintWeek Week(int days, int rowsPerDay, const char* title = "新闻联播") {
    const char* const weekdays[] = {"星期一", "星期二", "星期三", "星期四",
                                    "星期五", "星期六", "星期日"};
    TPrintWeek week{"湖南卫视", ScheduleBuildTime(46000.5), {}};
    for (int d = 0; d < days; ++d)
        for (int r = 0; r < rowsPerDay; ++r)
            week.Rows.push_back(
                {Gbk(QString("2026-12-%1").arg(7 + d, 2, 10, QChar('0')).toUtf8().constData()),
                 Gbk(weekdays[d % 7]),
                 QString("%1:%2")
                     .arg(r / 4 % 24, 2, 10, QChar('0'))
                     .arg(r % 4 * 15, 2, 10, QChar('0'))
                     .toStdString(),
                 Gbk(QString("%1 %2-%3").arg(title).arg(d).arg(r).toUtf8()),
                 {}});
    return week;
}

// Prints to a PDF file and reads it back as text, pages ended by form feeds.
struct Printed {
    int pages;
    QString text;
};
Printed PrintToPdf(const TPrintWeek& week, const std::string& path,
                   QPageSize size = QPageSize(QPageSize::A4)) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
    printer.setPageSize(size);
    const int pages = PrintWeek(week, &printer);
    QProcess reader;
    reader.start("pdftotext", {"-layout", QString::fromStdString(path), "-"});
    EXPECT_TRUE(reader.waitForFinished(30000));
    return {pages, QString::fromUtf8(reader.readAllStandardOutput())};
}

QString WithoutSpaces(QString text) {
    return text.remove(QRegularExpression("\\s"));
}

// Every title of the week is in the text, in the week's order; a title may
// wrap onto more lines.
void ExpectTitlesInOrder(const TPrintWeek& week, const QString& printed) {
    const QString text = WithoutSpaces(printed);
    qsizetype at = 0;
    for (const ScheduleRow& row : week.Rows) {
        const QString title = WithoutSpaces(platform::GbkToQString(row.Title));
        const qsizetype found = text.indexOf(title, at);
        ASSERT_GE(found, 0) << title.toStdString();
        at = found + title.size();
    }
}

class FrmPrintTest : public GuiTest {};

TEST_F(FrmPrintTest, AWeekPrintsEveryTitleInOrderADayAPage) {
    const TPrintWeek week = Week(3, 12);
    const Printed printed = PrintToPdf(week, dir.file("week.pdf"));
    EXPECT_EQ(printed.pages, 3);
    EXPECT_EQ(printed.text.count('\f'), 3);
    ExpectTitlesInOrder(week, printed.text);
    QStringList pages = printed.text.split('\f');
    for (QString& page : pages)
        page = page.simplified();
    EXPECT_TRUE(pages[0].startsWith("湖南卫视"));
    EXPECT_TRUE(pages[0].contains("节目时间表，生成于 2025-12-09 12:00"));
    for (int page = 0; page < 3; ++page) {
        EXPECT_TRUE(pages[page].contains(QString("2026-12-0%1 星期").arg(7 + page)));
        EXPECT_TRUE(pages[page].contains(QString("第 %1 页，共 3 页").arg(page + 1)));
        EXPECT_TRUE(pages[page].contains(QString("新闻联播 %1-11").arg(page)));
    }
}

TEST_F(FrmPrintTest, ALongDayGoesOnOverPagesOfAnySize) {
    const TPrintWeek week =
        Week(1, 150, "很长的节目名称，一行放不下的时候要在节目一栏里换行接着写");
    const Printed a4 = PrintToPdf(week, dir.file("a4.pdf"));
    const Printed a5 = PrintToPdf(week, dir.file("a5.pdf"), QPageSize(QPageSize::A5));
    EXPECT_GT(a4.pages, 1);
    EXPECT_GT(a5.pages, a4.pages);
    for (const Printed& printed : {a4, a5}) {
        EXPECT_EQ(printed.text.count('\f'), printed.pages);
        EXPECT_TRUE(printed.text.contains(QString("第 %1 页，共 %1 页").arg(printed.pages)));
    }
    ExpectTitlesInOrder(week, a4.text);
}

TEST(ScheduleBuildTime, DaysSince1899AsLocalTime) {
    EXPECT_FALSE(ScheduleBuildTime(0).isValid());
    EXPECT_FALSE(ScheduleBuildTime(-1).isValid());
    EXPECT_EQ(ScheduleBuildTime(2), QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
    EXPECT_EQ(ScheduleBuildTime(46000.75), QDateTime(QDate(2025, 12, 9), QTime(18, 0)));
}

// The window's commands, with the desktop's file dialog and opener replaced.
class FrmMainExportTest : public GuiTest {
protected:
    FrmMainExportTest() {
        saved = ExportDesktop();
        ExportDesktop().PickFile = [this](QWidget*, const QString& name, bool calendarOnly,
                                          TExportFormat& format) {
            suggested.push_back(name);
            format = calendarOnly ? TExportFormat::efICalendar : pickFormat;
            return QString::fromStdString(dir.file("out")) +
                   (format == TExportFormat::efCsv ? ".csv" : ".ics");
        };
        ExportDesktop().OpenFile = [this](const QString& path) {
            opened.push_back(path);
            return true;
        };
        Build({{"湖南卫视", StationText({"26/12/07 星期一", "08:00 早间新闻", "23:30 晚间, 新闻",
                                         "00:30 午夜剧场"})}});
        window = std::make_unique<TFrmMain>(); // opens the file just built
        window->show();
        window->FormShow();
        commands = window->findChild<TFrmMainExport*>();
    }
    ~FrmMainExportTest() override { ExportDesktop() = saved; }

    void ShowStation() { window->lbTvSets()->setCurrentRow(0); }
    std::string Written(const char* ending) { return ReadAll(dir.file("out") + ending); }

    TExportDesktop saved;
    TExportFormat pickFormat = TExportFormat::efICalendar;
    std::vector<QString> suggested, opened;
    std::unique_ptr<TFrmMain> window;
    TFrmMainExport* commands = nullptr;
};

TEST_F(FrmMainExportTest, CommandsAreEnabledWhileAStationIsOnShow) {
    Ui::TFrmMain* ui = window->Controls();
    ASSERT_TRUE(commands);
    EXPECT_TRUE(ui->mnuSchedule->actions().contains(ui->TBXItem3));
    EXPECT_TRUE(ui->mnuSchedule->actions().contains(ui->TBXExportItem));
    EXPECT_FALSE(ui->TBXItem3->isEnabled());
    EXPECT_FALSE(ui->TBXExportItem->isEnabled());
    ShowStation();
    EXPECT_TRUE(ui->TBXItem3->isEnabled());
    EXPECT_TRUE(ui->TBXExportItem->isEnabled());
    window->RunUpdateDialog = [] { return 0; }; // an update that ends without a new file
    window->TBXItem7Click();
    EXPECT_FALSE(ui->TBXItem3->isEnabled());
}

TEST_F(FrmMainExportTest, PrintPreviewShowsTheWeekOnA4) {
    ShowStation();
    int pages = -1;
    QPageSize::PageSizeId paper = QPageSize::Custom;
    QString title;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* preview = qobject_cast<TFrmPrint*>(modal)) {
            pages = preview->findChild<QPrintPreviewWidget*>()->pageCount();
            paper = preview->printer()->pageLayout().pageSize().id();
            title = preview->windowTitle();
        }
        modal->close();
    });
    window->Controls()->TBXItem3->trigger();
    EXPECT_EQ(watcher.Count(), 1);
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(paper, QPageSize::A4);
    EXPECT_TRUE(title.contains("湖南卫视"));
}

TEST_F(FrmMainExportTest, ExportWritesTheWeekAsCsvOrCalendar) {
    ShowStation();
    pickFormat = TExportFormat::efCsv;
    window->Controls()->TBXExportItem->trigger();
    EXPECT_EQ(Written(".csv"), "电视台,日期,星期,时间,节目\r\n"
                               "湖南卫视,2026-12-07,星期一,08:00,早间新闻\r\n"
                               "湖南卫视,2026-12-07,星期一,23:30,\"晚间, 新闻\"\r\n"
                               "湖南卫视,2026-12-07,星期一,00:30,午夜剧场\r\n");
    pickFormat = TExportFormat::efICalendar;
    window->Controls()->TBXExportItem->trigger();
    const std::vector<ReadEvent> events = ReadCalendar(Written(".ics"));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].summary, "晚间, 新闻");
    EXPECT_EQ(events[1].end.substr(0, 13), "20261208T0030");
    EXPECT_EQ(suggested, std::vector<QString>(2, "湖南卫视"));
    EXPECT_TRUE(opened.empty()); // an export is only saved
}

TEST_F(FrmMainExportTest, ContextMenuPutsOneProgrammeInTheCalendar) {
    ShowStation();
    QTableView* table = window->lvSchedules();
    QStringList entries;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions())
            entries << action->text();
        menu->actions().first()->trigger();
        menu->close();
    });
    emit table->customContextMenuRequested(table->visualRect(table->model()->index(1, 3)).center());
    EXPECT_EQ(entries, QStringList{"加入日历"});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QString::fromStdString(dir.file("out.ics")));
    EXPECT_EQ(suggested, std::vector<QString>{"晚间, 新闻"});
    const std::vector<ReadEvent> events = ReadCalendar(Written(".ics"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].summary, "晚间, 新闻");
    EXPECT_EQ(events[0].location, "湖南卫视");
    EXPECT_EQ(events[0].start.substr(0, 13), "20261207T2330");
    EXPECT_EQ(events[0].end.substr(0, 13), "20261208T0030");
    EXPECT_EQ(events[0].alarmSeconds, -5 * 60);
}

} // namespace
