// Programme starts as XMLTV writes them, and the tool's offset and date values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "guide/GuidePacker.h"
#include "guide/GuideTime.h"
#include "platform/CodePage.h"
#include "support/ScopedEnv.h"

namespace {

// 2026-12-07 00:00 UTC.
constexpr std::int64_t Day = 1796601600;

TEST(GuideTime, StartsAreReadOrRefused) {
    const struct {
        const char* start;
        std::int64_t utc; // -1: unreadable
    } cases[] = {
        {"20261207000000 +0000", Day},
        {"20261207080000 +0800", Day},
        {"202612070800 +0800", Day},
        {"20261207000000", Day},
        {"202612070000", Day},
        {"20261206190000 -0500", Day},
        {"20261207053000+0530", Day},
        {"20261207000059 +0000", Day + 59},
        {"20261207000000  +0000 ", Day},
        {"2026120", -1},
        {"20261207", -1},
        {"20261307000000 +0000", -1},
        {"20260230000000 +0000", -1},
        {"20261207240000 +0000", -1},
        {"20261207006000 +0000", -1},
        {"20261207000000 +08", -1},
        {"20261207000000 0800", -1},
        {"20261207000000 +0860", -1},
        {"2026120700000 +0800", -1},
        {"x0261207000000", -1},
        {"", -1},
    };
    for (const auto& c : cases) {
        const std::optional<std::int64_t> utc = guide::XmltvStartUtc(c.start);
        EXPECT_EQ(utc.value_or(-1), c.utc) << c.start;
    }
}

TEST(GuideTime, OffsetsAndDatesOfTheCommandLine) {
    EXPECT_EQ(guide::ParseUtcOffset("+08:00").value_or(-1), 480);
    EXPECT_EQ(guide::ParseUtcOffset("-05:30").value_or(-1), -330);
    for (const char* bad : {"+8:00", "08:00", "+08:60", "+24:00", "+0800", "+08:00 "})
        EXPECT_FALSE(guide::ParseUtcOffset(bad)) << bad;
    EXPECT_EQ(guide::ParseDate("2026-12-07"), QDate(2026, 12, 7));
    for (const char* bad : {"2026-02-30", "2026-1-07", "20261207", "2026-12-07x", ""})
        EXPECT_FALSE(guide::ParseDate(bad)) << bad;
    guide::TGuideWindow window;
    window.from = QDate(2026, 12, 7);
    EXPECT_EQ(window.StartUtc(), Day - 8 * 3600);
}

// The computer's own zone, summer time included: Berlin moves from +01:00 to
// +02:00 at 01:00 UTC on 29 March 2026, and each start follows its offset.
TEST(GuideTime, ALocalWindowFollowsTheZoneAcrossSummerTime) {
    ScopedEnv saved{"TZ"};
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const guide::TGuideWindow window = guide::LocalWindow(QDate(2026, 3, 28), 3);
    unsetenv("TZ");
    tzset();
    ASSERT_EQ(window.zoneOffsets.size(), 2u);
    EXPECT_EQ(window.zoneOffsets[1].offsetSeconds, 7200);
    const std::string xml =
        "<tv><channel id=\"a\"><display-name>A</display-name></channel>"
        "<programme channel=\"a\" start=\"20260327230000 +0000\"><title>first</title></programme>"
        "<programme channel=\"a\" start=\"20260329003000 +0000\"><title>winter</title></programme>"
        "<programme channel=\"a\" start=\"20260329013000 +0000\"><title>summer</title></programme>"
        "<programme channel=\"a\" start=\"20260330215900 +0000\"><title>last</title></programme>"
        "<programme channel=\"a\" start=\"20260330220000 +0000\"><title>out</title></programme>"
        "</tv>";
    guide::TGuidePacker packer(window, true);
    packer.Feed(xml);
    const std::vector<guide::TStationFile> files = packer.FinishTexts();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].text, platform::QStringToGbk("26/03/28 星期六\r\n00:00 first\r\n\r\n"
                                                    "26/03/29 星期日\r\n01:30 winter\r\n"
                                                    "03:30 summer\r\n\r\n"
                                                    "26/03/30 星期一\r\n23:59 last\r\n\r\n"));
}

} // namespace
