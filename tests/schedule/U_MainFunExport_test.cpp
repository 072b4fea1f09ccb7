#include <gtest/gtest.h>

#include <QString>
#include <QTimeZone>

#include "platform/CodePage.h"
#include "schedule/U_MainFunCsv.h"
#include "schedule/U_MainFunExport.h"
#include "schedule/U_MainFunICalendar.h"
#include "support/ICalendarReadBack.h"

namespace {

std::string G(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

TProgrammeEvents Events(const char* station, const char* utf8Text) {
    const std::string text = G(utf8Text);
    return StationEvents(G(station), StationRows(TextLines(text)));
}

const char* const Week = "26/12/07 星期一\n"
                         "23:30 新闻, 联播; 特别\\节目\n"
                         "00:30 午夜剧场\n"
                         "xx:yy 坏行\n"
                         "26/12/08 星期二\n"
                         "06:00 早间新闻\n";

TEST(ICalendarText, EventsCrossMidnightAndReadBackWhole) {
    TICalendarOptions options;
    options.TimeZone = "Asia/Shanghai";
    const std::vector<ReadEvent> read =
        ReadCalendar(ICalendarText(Events("湖南卫视", Week), options));
    struct Expected {
        const char* summary;
        const char* start;
        const char* end;
    } expected[] = {
        {"新闻, 联播; 特别\\节目", "20261207T233000", "20261208T003000"},
        {"午夜剧场", "20261208T003000", "20261208T060000"}, // past midnight, under 12/07
        {"早间新闻", "20261208T060000", "20261208T080000"}, // the last: two hours
    };
    ASSERT_EQ(read.size(), std::size(expected)); // the row without a time has no event
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].summary, expected[i].summary) << i;
        EXPECT_EQ(read[i].start, expected[i].start) << i;
        EXPECT_EQ(read[i].end, expected[i].end) << i;
        EXPECT_EQ(read[i].location, "湖南卫视") << i;
        EXPECT_EQ(read[i].zone, "Asia/Shanghai") << i;
        EXPECT_EQ(read[i].alarmSeconds, 1) << i;
    }
}

TEST(ICalendarText, EscapesAndFoldsThroughLibical) {
    TICalendarOptions options;
    options.TimeZone = "Asia/Shanghai";
    const std::string text = ICalendarText(Events("CCTV-1", Week), options);
    EXPECT_NE(text.find("SUMMARY:新闻\\, 联播\\; 特别\\\\节目"), std::string::npos);
    EXPECT_NE(text.find("DTSTART;TZID="), std::string::npos);
    EXPECT_NE(text.find("BEGIN:VTIMEZONE"), std::string::npos);
    std::size_t at = 0, lineStart = 0;
    while ((at = text.find("\r\n", lineStart)) != std::string::npos) {
        EXPECT_LE(at - lineStart, 75u) << text.substr(lineStart, at - lineStart);
        lineStart = at + 2;
    }
}

TEST(ICalendarText, AnAlarmBeforeEachStartWhenAsked) {
    TICalendarOptions options;
    options.AlarmMinutes = 5;
    options.TimeZone = "Asia/Shanghai";
    const std::vector<ReadEvent> read = ReadCalendar(ICalendarText(Events("A", Week), options));
    ASSERT_EQ(read.size(), 3u);
    for (const ReadEvent& r : read)
        EXPECT_EQ(r.alarmSeconds, -300);
}

TEST(ICalendarText, AZoneLibicalLacksHasTheTimesInUtc) {
    TICalendarOptions options;
    options.TimeZone = "No/Such_Zone";
    const std::vector<ReadEvent> read = ReadCalendar(ICalendarText(Events("A", Week), options));
    ASSERT_EQ(read.size(), 3u);
    const QDateTime local(QDate(2026, 12, 7), QTime(23, 30));
    EXPECT_EQ(read[0].zone, "UTC");
    EXPECT_EQ(read[0].start, local.toUTC().toString("yyyyMMdd'T'hhmmss'Z'").toStdString());
}

TEST(ICalendarText, TheComputersZoneByDefault) {
    const std::string zone = QTimeZone::systemTimeZoneId().toStdString();
    if (!icaltimezone_get_builtin_timezone(zone.c_str())) GTEST_SKIP() << "libical lacks " << zone;
    const std::vector<ReadEvent> read = ReadCalendar(ICalendarText(Events("A", Week)));
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].start, "20261207T233000");
    EXPECT_EQ(read[0].zone, zone);
}

TEST(AppendCsvField, QuotesWhatMustBeQuoted) {
    struct Case {
        const char* field;
        const char* written;
    } cases[] = {
        {"新闻联播", "新闻联播"}, {"", ""},
        {"a,b", "\"a,b\""},       {"说\"你好\"", "\"说\"\"你好\"\"\""},
        {"两\n行", "\"两\n行\""}, {"回车\r", "\"回车\r\""},
        {"a;b\\c", "a;b\\c"},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendCsvField(c.field, out);
        EXPECT_EQ(out, c.written) << c.field;
    }
}

TEST(CsvText, HeaderAndOneRowPerProgramme) {
    TProgrammeEvents events = Events("湖南卫视", "26/12/07 星期一\n08:00 新闻\n09:00 坏\n");
    events[1].Row.Title = G("逗号, 引号\" 换行\r\n第二行");
    EXPECT_EQ(CsvText(events),
              "电视台,日期,星期,时间,节目\r\n"
              "湖南卫视,2026-12-07,星期一,08:00,新闻\r\n"
              "湖南卫视,2026-12-07,星期一,09:00,\"逗号, 引号\"\" 换行\r\n第二行\"\r\n");
}

TEST(ExportText, CsvKeepsRowsWithoutATime) {
    const TProgrammeEvents events = Events("A", Week);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_FALSE(events[2].Start);
    EXPECT_FALSE(events[2].End);
    const std::string csv = ExportText(events, TExportFormat::efCsv);
    EXPECT_NE(csv.find("A,2026-12-07,星期一,xx:yy,坏行\r\n"), std::string::npos);
    EXPECT_EQ(ReadCalendar(ExportText(events, TExportFormat::efICalendar, "A")).size(), 3u);
}

} // namespace
