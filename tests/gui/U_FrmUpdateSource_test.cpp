// The update dialog with a source of the user's: an XMLTV guide from a
// loopback server or a file goes straight into the schedule, in the guide's
// order, and is remembered; bad sources say why and change nothing.
#include <gtest/gtest.h>

#include <QTest>
#include <zlib.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "../guide/GuideTestSupport.h"
#include "../http/TestHttpServer.h"
#include "../http/TestTlsServer.h"
#include "SampleGuide.h"
#include "gui/U_FrmUpdate.h"
#include "guide/GuidePacker.h"
#include "guide/ZipWriter.h"
#include "platform/Registry.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"
#include "schedule/U_TvSchedule.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui_U_FrmUpdate.h"

namespace {

// Beijing time, the zone of the sample guide's programmes.
constexpr int Beijing = 480;

std::string SampleGuideXml(int stations) {
    TSampleGuideOptions options;
    options.stations.stations = stations;
    options.stations.programmesPerDay = 6;
    const QDate today = QDate::currentDate();
    options.stations.year = today.year();
    options.stations.month = today.month();
    options.stations.day = today.day();
    std::ostringstream xml;
    WriteSampleGuide(xml, options);
    return xml.str();
}

// What vimbrel-cli xmltv --from TODAY --days 7 --utc-offset +08:00 packs.
std::vector<guide::TStationFile> CliTexts(const std::string& xml) {
    guide::TGuideWindow window;
    window.from = QDate::currentDate();
    window.offsetMinutes = Beijing;
    guide::TGuidePacker packer(window, true);
    packer.Feed(xml);
    return packer.FinishTexts();
}

// Compressed 1 MB runs of spaces after the start of a guide: the same
// deflate block again and again, each unpacking to 1 MB.
std::string GzipBomb(int megabytes) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string out(4 << 20, '\0'), spaces(1 << 20, ' ');
    auto run = [&](const std::string& in, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, flush);
        return out.substr(0, out.size() - z.avail_out);
    };
    std::string bomb = run("<?xml version=\"1.0\"?><tv>", Z_FULL_FLUSH);
    const std::string block = run(spaces, Z_FULL_FLUSH);
    deflateEnd(&z);
    for (int i = 0; i < megabytes; ++i)
        bomb += block;
    return bomb;
}

class UpdateSource : public ::testing::Test {
protected:
    void SetUp() override {
        SetProgramFolder(program.path());
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
        platform::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(platform::InternetSettingsKey, true));
        reg.WriteInteger("ProxyEnable", 0);
        reg.WriteString("ProxyServer", "");
    }
    std::string Url(const std::string& path) const { return "http://" + server.Address() + path; }
    // Serves body at path; its address.
    std::string Serve(const std::string& path, const std::string& body) {
        TestReply reply;
        reply.body = body;
        server.SetReplyFor(path, reply);
        return Url(path);
    }
    // Starts an update from source and waits for its end.
    static void Update(TFrmUpdate& dialog, const std::string& source) {
        dialog.ui->cbSource->setEditText(QString::fromStdString(source));
        dialog.ui->btnUpdate->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !dialog.SourceRunning() && !dialog.HttpGet->Running(); }, 60000));
    }
    std::vector<TStationText> Stations() {
        TScheduleObject file(ScheduleFilePath(), TScheduleObject::fmOpen);
        std::vector<TStationText> stations;
        for (const TStationEntry& e : ReadStationIndex(file)) {
            std::string text;
            EXPECT_TRUE(file.SelectStation(e.Offset));
            file.ReadStationText(text);
            stations.push_back({e.Name, text});
        }
        return stations;
    }

    TempDir program, config, files;
    ScopedConfigHome configHome{config.path()};
    ScopedEnv env{"http_proxy", "HTTP_PROXY", "TZ"};
    TestHttpServer server;
};

// The guide's stations in its own order (not by name), each with the text the
// command-line converter gives for the same window; the source is offered
// again next time.
TEST_F(UpdateSource, AGuideFromAServerOrAFileBecomesTheSchedule) {
    // Names out of their sort order: the guide's order must stand.
    std::string xml = SampleGuideXml(12);
    const std::vector<guide::TStationFile> expected = CliTexts(xml);
    ASSERT_EQ(expected.size(), 12u);
    Serve("/guide.xml.gz", Gzip(xml));
    WriteAll(files.file("guide.xml"), xml);
    const std::string fileUrl = "file://" + files.file("guide.xml");
    for (const std::string& source : {Url("/guide.xml.gz"), files.file("guide.xml"), fileUrl}) {
        SCOPED_TRACE(source);
        std::filesystem::remove(ScheduleFilePath());
        {
            TFrmUpdate dialog;
            Update(dialog, source);
            EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新完毕");
            EXPECT_TRUE(dialog.ui->btnClose->isEnabled());
            dialog.ui->btnClose->click();
        }
        const std::vector<TStationText> stations = Stations();
        ASSERT_EQ(stations.size(), expected.size());
        for (std::size_t i = 0; i < stations.size(); ++i) {
            EXPECT_EQ(stations[i].name + ".txt", expected[i].name) << i;
            EXPECT_EQ(stations[i].text, expected[i].text) << i;
        }
        EXPECT_FALSE(std::filesystem::exists(StationFolderPath()));
        EXPECT_FALSE(std::filesystem::exists(UpdateArchivePath()));
        TFrmUpdate again;
        EXPECT_EQ(again.ui->cbSource->currentText().toStdString(), source);
    }
    // All are offered, the latest first.
    const std::vector<std::string> recent = TFrmUpdate::RecentSources();
    EXPECT_EQ(recent,
              (std::vector<std::string>{fileUrl, files.file("guide.xml"), Url("/guide.xml.gz")}));
}

// An archive named as a source takes the archive's road, from a server or
// from a file, whatever it is called.
TEST_F(UpdateSource, AnArchiveSourceIsExtracted) {
    guide::TGuideWindow window;
    window.from = QDate::currentDate();
    guide::TGuidePacker packer(window);
    packer.Feed(SampleGuideXml(3));
    const std::string zip = packer.Finish();
    Serve("/guide.xml", zip);
    WriteAll(files.file("guide.gz"), zip);
    for (const std::string& source : {Url("/guide.xml"), files.file("guide.gz")}) {
        SCOPED_TRACE(source);
        std::filesystem::remove(ScheduleFilePath());
        TFrmUpdate dialog;
        Update(dialog, source);
        EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新完毕");
        EXPECT_EQ(Stations().size(), 3u);
        EXPECT_TRUE(std::filesystem::exists(files.file("guide.gz"))); // the user's file stays
    }
}

// Each bad source ends with the hint and its cause below it; the schedule
// stays byte for byte, nothing is left beside the program, and the dialog
// is ready again.
TEST_F(UpdateSource, BadSourcesSayWhyAndChangeNothing) {
    std::filesystem::create_directory(program.file("old"));
    WriteAll(program.file("old/a.txt"), "08:00 a\r\n");
    BuildScheduleFile(program.file("old"), "*.*", ScheduleFilePath(), 1.0);
    const std::string before = ReadAll(ScheduleFilePath());
    const std::string bad = "更新提示：更新文件有误，节目表未改变";
    const std::string failed = "更新提示：下载失败";
    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.Port();
    }
    const std::string good = SampleGuideXml(2);
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n<tv><channel id=\"a\"/>"
        "<programme channel=\"a\" start=\"20261207120000 +0800\"><title>&b;</title>"
        "</programme></tv>";
    // A 2 GB guide, as a sparse file.
    {
        std::ofstream big(files.file("big.xml"), std::ios::binary);
        big << "<?xml version=\"1.0\"?><tv>";
    }
    ASSERT_EQ(truncate(files.file("big.xml").c_str(), 2LL << 30), 0);
    // A 100 MB line: one title that long, written in pieces.
    {
        std::ofstream line(files.file("line.xml"), std::ios::binary);
        line << "<tv><channel id=\"a\"/><programme channel=\"a\" start=\"20261207120000\"><title>";
        const std::string piece(1 << 20, 'x');
        for (int i = 0; i < 100; ++i)
            line << piece;
        line << "</title></programme></tv>";
    }
    WriteAll(files.file("bomb.xml.gz"), GzipBomb(10240));
    WriteAll(files.file("utf8.xml"), "<tv>\n<channel id=\"a\"><display-name>\xC3\x28"
                                     "</display-name></channel></tv>");
    guide::TZipWriter zip;
    zip.AddFile("guide.xml", good);
    WriteAll(files.file("claims.xml.gz"), zip.Finish());
    WriteAll(files.file("old.xml"), "<tv><channel id=\"a\"/><programme channel=\"a\" "
                                    "start=\"20050314120000 +0800\"><title>T</title>"
                                    "</programme></tv>");
    WriteAll(files.file("notes.txt"), "just some notes");
    TestReply trickle;
    trickle.body = Gzip(good);
    trickle.pieceSize = 1;
    trickle.pieceDelayMs = 100; // 10 bytes a second
    server.SetReplyFor("/slow.xml.gz", trickle);
    TestTlsServer untrusted;
    TestReply missing;
    missing.statusLine = "HTTP/1.1 404 Not Found";
    server.SetReplyFor("/missing.xml", missing);

    const struct {
        const char* name;
        std::string source, hint, cause;
    } cases[] = {
        {"entities", Serve("/laughs.xml", laughs), bad, "节目表第 2 行第"},
        {"a 2 GB guide", files.file("big.xml"), bad, "节目表超过 1024 MB"},
        {"a 100 MB line", files.file("line.xml"), bad, "节目表第 1 行的节目名称过长"},
        {"a gzip bomb", files.file("bomb.xml.gz"), bad, "解压后异常庞大"},
        {"invalid UTF-8", files.file("utf8.xml"), bad, "节目表第 2 行第"},
        {"an archive that claims to be a guide", files.file("claims.xml.gz"), bad,
         "中没有节目文件"},
        {"10 bytes a second", Url("/slow.xml.gz"), failed, " 超时"},
        {"no server", "http://127.0.0.1:" + std::to_string(closedPort) + "/g.xml", failed,
         "服务器 127.0.0.1 没有应答"},
        {"an HTTP status", Url("/missing.xml"), failed, "回答 HTTP 404"},
        {"an untrusted certificate",
         "https://127.0.0.1:" + std::to_string(untrusted.Port()) + "/guide.xml", failed,
         "服务器 127.0.0.1 的证书不受信任"},
        {"nothing this week", files.file("old.xml"), bad, "最后一天是 2005-03-14"},
        {"no such file", files.file("none.xml"), failed, "无法读取文件 " + files.file("none.xml")},
        {"neither guide nor archive", files.file("notes.txt"), bad, "既不是 XMLTV 节目表"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFrmUpdate dialog;
        dialog.SourceTimeoutMs = 1000;
        Update(dialog, c.source);
        const QStringList lines = dialog.ui->lbHint->text().split('\n');
        ASSERT_EQ(lines.size(), 2) << dialog.ui->lbHint->text().toStdString();
        EXPECT_EQ(lines[0].toStdString(), c.hint);
        EXPECT_NE(lines[1].toStdString().find(c.cause), std::string::npos)
            << lines[1].toStdString();
        // The cause is shown whole.
        EXPECT_GE(dialog.ui->lbHint->height(),
                  dialog.ui->lbHint->heightForWidth(dialog.ui->lbHint->width()));
        EXPECT_TRUE(dialog.ui->btnUpdate->isEnabled());
        EXPECT_TRUE(dialog.ui->btnClose->isEnabled());
        EXPECT_EQ(ReadAll(ScheduleFilePath()), before);
        EXPECT_FALSE(std::filesystem::exists(StationFolderPath()));
        EXPECT_FALSE(std::filesystem::exists(UpdateArchivePath()));
        EXPECT_FALSE(std::filesystem::exists(ScheduleFilePath() + ".new"));
        EXPECT_TRUE(TFrmUpdate::RecentSources().empty()); // a failed source is not kept
    }
}

// A schedule that cannot be replaced (here held open) is said below the hint,
// and stays.
TEST_F(UpdateSource, AScheduleThatCannotBeReplacedIsSaidAndKept) {
    BuildScheduleFile(program.file("none"), "*.*", ScheduleFilePath(), 1.0);
    const std::string before = ReadAll(ScheduleFilePath());
    WriteAll(files.file("guide.xml"), SampleGuideXml(2));
    TFrmUpdate dialog;
    {
        TScheduleObject holder(ScheduleFilePath(), TScheduleObject::fmOpen);
        Update(dialog, files.file("guide.xml"));
    }
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新文件有误，节目表未改变\n无法创建文件");
    EXPECT_EQ(ReadAll(ScheduleFilePath()), before);
    EXPECT_FALSE(std::filesystem::exists(ScheduleFilePath() + ".new"));
}

// Cancel stops a source that is still arriving; the old schedule stays and
// the dialog is ready for another go.
TEST_F(UpdateSource, CancelStopsASourceAndKeepsTheSchedule) {
    BuildScheduleFile(program.file("none"), "*.*", ScheduleFilePath(), 1.0);
    const std::string before = ReadAll(ScheduleFilePath());
    TestReply trickle;
    trickle.body = Gzip(SampleGuideXml(20));
    trickle.pieceSize = 64;
    trickle.pieceDelayMs = 100; // 640 bytes a second: the whole guide takes many seconds
    server.SetReplyFor("/slow.xml.gz", trickle);
    TFrmUpdate dialog;
    dialog.ui->cbSource->setEditText(QString::fromStdString(Url("/slow.xml.gz")));
    dialog.ui->btnUpdate->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.Requests().empty(); }, 10000));
    EXPECT_FALSE(dialog.ui->btnClose->isEnabled());
    dialog.ui->btnCancel->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.SourceRunning(); }, 10000));
    EXPECT_TRUE(dialog.ui->btnUpdate->isEnabled());
    EXPECT_TRUE(dialog.ui->btnClose->isEnabled());
    EXPECT_EQ(ReadAll(ScheduleFilePath()), before);
    EXPECT_FALSE(std::filesystem::exists(UpdateArchivePath()));
}

// Alt+S reaches the source field.
TEST_F(UpdateSource, TheSourceFieldHasItsLabelAndShortcut) {
    TFrmUpdate dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.ui->lbSource->text(), "节目源(&S)：");
    EXPECT_EQ(dialog.ui->lbSource->buddy(), dialog.ui->cbSource);
    EXPECT_TRUE(dialog.ui->cbSource->isEditable());
    EXPECT_TRUE(dialog.ui->btnSource->isVisible());
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.ui->btnClose->setFocus();
    QTest::keyClick(&dialog, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(dialog.ui->cbSource->hasFocus());
}

} // namespace
