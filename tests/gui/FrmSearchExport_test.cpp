// The search dialog's 导出… and 加入日历: results out, each ending where the
// next programme of its station starts.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

#include "SearchFixture.h"
#include "gui/U_FrmExport.h"
#include "gui/U_FrmSearchExport.h"
#include "support/ICalendarReadBack.h"

namespace {

const std::vector<TSearchFixture::TStation> Stations = {
    {"中央一台", Gbk("26/12/07 星期一\r\n08:00 新闻联播\r\n09:00 天气\r\n23:30 晚间新闻\r\n"
                     "00:30 午夜剧场\r\n")},
    {"东方卫视", Gbk("26/12/08 星期二\r\n12:00 新闻, 30分\r\n")},
};

class FrmSearchExport : public TSearchFixture {
protected:
    void SetUp() override {
        saved = ExportDesktop();
        ExportDesktop().PickFile = [this](QWidget*, const QString&, bool calendarOnly,
                                          TExportFormat& format) {
            format = calendarOnly ? TExportFormat::efICalendar : pickFormat;
            return QString::fromStdString(dir.file("out")) +
                   (format == TExportFormat::efCsv ? ".csv" : ".ics");
        };
        ExportDesktop().OpenFile = [this](const QString& path) {
            opened.push_back(path);
            return true;
        };
        MakeSchedule(Stations);
        OpenDialog();
        commands = dlg->findChild<TFrmSearchExport*>();
        ASSERT_TRUE(commands);
    }
    void TearDown() override {
        TSearchFixture::TearDown();
        ExportDesktop() = saved;
    }

    TExportDesktop saved;
    TExportFormat pickFormat = TExportFormat::efICalendar;
    std::vector<QString> opened;
    TFrmSearchExport* commands = nullptr;
};

TEST_F(FrmSearchExport, ExportWaitsForResultsAndTheSearchsEnd) {
    EXPECT_EQ(commands->btnExport->text(), "导出…");
    EXPECT_FALSE(commands->btnExport->isEnabled()); // nothing found yet
    gate.HoldAt(1, TTvSearchThread::spStation);
    Search("新闻");
    ASSERT_TRUE(gate.WaitFor(1, TTvSearchThread::spStation));
    // The first station's rows join the list on the dialog's next publish.
    EXPECT_TRUE(WaitUntil([&] { return dlg->Results->rowCount() > 0; }));
    EXPECT_FALSE(commands->btnExport->isEnabled()); // the worker reads the file
    gate.Release();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(commands->btnExport->isEnabled());
}

TEST_F(FrmSearchExport, ResultsEndWhereTheirStationsNextProgrammeStarts) {
    Search("新闻");
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(dlg->Results->rowCount(), 3);
    pickFormat = TExportFormat::efCsv;
    commands->btnExport->click();
    // In the list's order, 东 (U+4E1C) before 中 (U+4E2D).
    EXPECT_EQ(ReadAll(dir.file("out.csv")), "电视台,日期,星期,时间,节目\r\n"
                                            "东方卫视,2026-12-08,星期二,12:00,\"新闻, 30分\"\r\n"
                                            "中央一台,2026-12-07,星期一,08:00,新闻联播\r\n"
                                            "中央一台,2026-12-07,星期一,23:30,晚间新闻\r\n");
    pickFormat = TExportFormat::efICalendar;
    commands->btnExport->click();
    const std::vector<ReadEvent> events = ReadCalendar(ReadAll(dir.file("out.ics")));
    ASSERT_EQ(events.size(), 3u);
    const char* const ends[] = {"20261208T1400", "20261207T0900", "20261208T0030"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(events[i].end.substr(0, 13), ends[i]) << i;
    EXPECT_EQ(events[0].location, "东方卫视");
    EXPECT_TRUE(opened.empty());
}

TEST_F(FrmSearchExport, ContextMenuPutsAResultInTheCalendar) {
    Search("晚间");
    ASSERT_TRUE(WaitForEnd());
    QTableView* list = ui.lvSearchList;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        menu->actions().first()->trigger();
        menu->close();
    });
    emit list->customContextMenuRequested(list->visualRect(dlg->Results->index(0, 4)).center());
    ASSERT_EQ(opened.size(), 1u);
    const std::vector<ReadEvent> events = ReadCalendar(ReadAll(dir.file("out.ics")));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].summary, "晚间新闻");
    EXPECT_EQ(events[0].start.substr(0, 13), "20261207T2330");
    EXPECT_EQ(events[0].end.substr(0, 13), "20261208T0030");
    EXPECT_EQ(events[0].alarmSeconds, -300);
}

} // namespace
