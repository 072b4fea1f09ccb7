// vimbrel-cli xmltv: its window options, standard input, usage errors (exit 2)
// and failures (exit 1) that leave an existing archive as it was.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QProcess>
#include <filesystem>

#include "GuideTestSupport.h"
#include "platform/CodePage.h"

namespace {

struct CliRun {
    int status;
    QByteArray err;
};

CliRun Xmltv(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QString(VIMBREL_BIN_DIR) + "/vimbrel-cli", QStringList{"xmltv"} + args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardError()};
}

QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

TEST(XmltvCli, UsageErrorsExitWithTwoAndAHint) {
    TempDir dir;
    const QString zip = Q(dir.file("a.zip"));
    const QStringList cases[] = {
        {"guide.xml"},
        {"guide.xml", zip, "extra"},
        {"guide.xml", zip, "--days", "0"},
        {"guide.xml", zip, "--days", "x"},
        {"guide.xml", zip, "--from", "2026-02-30"},
        {"guide.xml", zip, "--utc-offset", "8"},
        {"guide.xml", zip, "--from"},
        {"guide.xml", zip, "--colour", "red"},
    };
    for (const QStringList& args : cases) {
        const CliRun run = Xmltv(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.err.count('\n'), 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith("Try 'vimbrel-cli --help' for more information.\n"));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.zip")));
}

TEST(XmltvCli, AFailureKeepsTheArchiveThatWasThere) {
    TempDir dir;
    WriteAll(dir.file("a.zip"), "the last good archive");
    WriteAll(dir.file("cut.xml.gz"), Gzip(ReadAll(VIMBREL_XMLTV_DIR "/sample.xml")).substr(0, 200));
    const QString zip = Q(dir.file("a.zip"));
    const struct {
        QString guide;
        const char* message;
    } cases[] = {
        {Q(dir.file("cut.xml.gz")), "vimbrel-cli: the gzip stream ends early\n"},
        {Q(dir.file("missing.xml")), "vimbrel-cli: cannot read "},
        {Q(dir.path()), "vimbrel-cli: cannot read "},
    };
    for (const auto& c : cases) {
        const CliRun run = Xmltv({c.guide, zip, "--from", "2026-12-07"});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.startsWith(c.message)) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1);
    }
    EXPECT_EQ(ReadAll(dir.file("a.zip")), "the last good archive");
    // No temporary file is left beside the archive.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(XmltvCli, StandardInputAtAnotherOffsetForOneDay) {
    TempDir dir;
    const CliRun run = Xmltv({"-", Q(dir.file("a.zip")), "--from", "2026-12-07", "--days", "1",
                              "--utc-offset", "+00:00"},
                             QByteArray::fromStdString(ReadAll(VIMBREL_XMLTV_DIR "/sample.xml")));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(std::filesystem::status(dir.file("a.zip")).permissions() &
                  std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);
    const std::vector<ExtractedFile> files = ExtractWithTheProgram(ReadAll(dir.file("a.zip")), dir);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].name, "节目单/CCTV-1 综合.txt");
    EXPECT_EQ(platform::GbkToUtf8(files[1].bytes),
              "26/12/07 星期一\r\n04:30 午间新闻\r\n"
              "11:00 新闻联播\r\n16:00 电视剧：西游记（第1集）\r\n\r\n");
}

TEST(XmltvCli, TheDefaultWindowIsThisWeekAtBeijingTime) {
    const QDate today = QDateTime::currentDateTimeUtc().addSecs(8 * 3600).date();
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    auto start = [](const QDate& d) { return d.toString("yyyyMMdd").toStdString() + "1200 +0800"; };
    const std::string xml =
        "<tv><channel id=\"c\"/><programme channel=\"c\" start=\"" + start(today) +
        "\"><title>today</title></programme>"
        "<programme channel=\"c\" start=\"" +
        start(monday.addDays(-1)) + "\"><title>last week</title></programme></tv>";
    TempDir dir;
    WriteAll(dir.file("g.xml"), xml);
    ASSERT_EQ(Xmltv({Q(dir.file("g.xml")), Q(dir.file("a.zip"))}).status, 0);
    const std::vector<ExtractedFile> files = ExtractWithTheProgram(ReadAll(dir.file("a.zip")), dir);
    ASSERT_EQ(files.size(), 2u);
    const std::string text = platform::GbkToUtf8(files[1].bytes);
    EXPECT_EQ(text.rfind(monday.toString("yy/MM/dd").toStdString() + " 星期一\r\n", 0), 0u);
    EXPECT_NE(text.find("12:00 today\r\n"), std::string::npos);
    EXPECT_EQ(text.find("last week"), std::string::npos);
}

} // namespace
