// The update dialog end to end: a loopback server acting as the proxy named
// in the user's registry serves the archive; the tests click through the
// real dialog and check what lands beside the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "../archive/ZipTestWriter.h"
#include "../http/TestHttpServer.h"
#include "DemoArchive.h"
#include "gui/U_FrmMain.h"
#include "gui/U_FrmUpdate.h"
#include "guide/ZipWriter.h"
#include "platform/Registry.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"
#include "schedule/U_MainFunUpdate.h"
#include "schedule/U_TvSchedule.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui_U_FrmMain.h"
#include "ui_U_FrmUpdate.h"

namespace {

using platform::InternetSettingsKey;

std::string Zip(int stations) {
    TSampleOptions options;
    options.stations = stations;
    options.programmesPerDay = 4;
    return MakeShowtimeZip(options);
}

class UpdateDialog : public ::testing::Test {
protected:
    void SetUp() override {
        SetProgramFolder(program.path());
        SetProxy(true, "127.0.0.1:" + std::to_string(server.Port()));
    }
    void SetProxy(bool enable, const std::string& proxy) {
        platform::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(InternetSettingsKey, true));
        reg.WriteInteger("ProxyEnable", enable ? 1 : 0);
        reg.WriteString("ProxyServer", proxy);
    }
    void Serve(const std::string& body) {
        TestReply reply;
        reply.body = body;
        server.SetReply(reply);
    }
    // Waits for the download and the extraction inside its completion to end.
    static bool Finished(TFrmUpdate& dialog) {
        return QTest::qWaitFor([&] { return !dialog.HttpGet->Running(); }, 30000);
    }
    std::vector<TStationEntry> Stations() {
        TScheduleObject file(ScheduleFilePath(), TScheduleObject::fmOpen);
        return ReadStationIndex(file);
    }
    bool Leftovers() {
        return std::filesystem::exists(UpdateArchivePath()) ||
               std::filesystem::exists(StationFolderPath());
    }

    TempDir program, config;
    ScopedConfigHome configHome{config.path()};
    ScopedEnv desktopProxy{"http_proxy", "HTTP_PROXY"}; // what the registry follows
    TestHttpServer server;
};

TEST_F(UpdateDialog, OpensReadyWithTheUsersProxyAndRemovesLeftovers) {
    SetProxy(true, "proxy.example:8080:extra");
    WriteAll(UpdateArchivePath(), "old archive");
    std::filesystem::create_directories(StationFolderPath() + "/sub");
    TFrmUpdate dialog;
    const Ui::TFRMUPDATE& ui = *dialog.ui;
    EXPECT_FALSE(Leftovers());
    EXPECT_EQ(dialog.windowTitle(), "更新节目表");
    EXPECT_EQ(ui.lbHint->text(), "更新提示：");
    EXPECT_TRUE(ui.rbIeProxy->isChecked());
    EXPECT_EQ(ui.etProxyServer->text(), "proxy.example");
    EXPECT_EQ(ui.etProxyPort->text(), "8080");
    EXPECT_TRUE(ui.btnUpdate->isEnabled());
    EXPECT_FALSE(ui.btnCancel->isEnabled());
    EXPECT_TRUE(ui.btnClose->isEnabled());
    for (QWidget* hidden :
         {static_cast<QWidget*>(ui.Label1), static_cast<QWidget*>(ui.Label2),
          static_cast<QWidget*>(ui.rbSelfProxy), static_cast<QWidget*>(ui.etProxyServer),
          static_cast<QWidget*>(ui.etProxyPort)})
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    EXPECT_EQ(dialog.HttpGet->URL, TFrmUpdate::UpdateHost() + "/download/showtime.zip");
    EXPECT_EQ(dialog.HttpGet->Agent, "");
    EXPECT_TRUE(dialog.HttpGet->BinaryData);
}

TEST_F(UpdateDialog, DisabledProxyStillFillsTheFields) {
    SetProxy(false, "host:81");
    TFrmUpdate dialog;
    EXPECT_TRUE(dialog.ui->rbNoProxy->isChecked());
    EXPECT_EQ(dialog.ui->etProxyServer->text(), "host");
    EXPECT_EQ(dialog.ui->etProxyPort->text(), "81");
}

// The text of a message box shown while the dialog is made, or "" for none.
QString MessageWhileCreating(std::unique_ptr<TFrmUpdate>& dialog) {
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    dialog = std::make_unique<TFrmUpdate>();
    return shown;
}

// A new user's account has no registry file: the dialog opens without a
// message box, and "使用IE设置" is the desktop's proxy.
TEST_F(UpdateDialog, FirstRunShowsNoMessageAndOffersTheDesktopsProxy) {
    std::filesystem::remove(platform::TRegistry::HiveFileName());
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server.Port())).c_str(), 1);
    WriteAll(UpdateArchivePath(), "old archive");
    Serve(Zip(3));
    std::unique_ptr<TFrmUpdate> dialog;
    EXPECT_EQ(MessageWhileCreating(dialog), "");
    EXPECT_FALSE(Leftovers());
    EXPECT_TRUE(dialog->ui->rbIeProxy->isChecked());
    EXPECT_EQ(dialog->ui->etProxyServer->text(), "127.0.0.1");
    dialog->ui->btnUpdate->click();
    ASSERT_TRUE(Finished(*dialog));
    EXPECT_EQ(dialog->ui->lbHint->text(), "更新提示：更新完毕");
    EXPECT_EQ(Stations().size(), 3u);
    EXPECT_EQ(server.Requests().size(), 1u); // through the desktop's proxy
}

// A value of the wrong type is still a read error, shown; the dialog opens
// ready all the same, and without what an earlier update left.
TEST_F(UpdateDialog, RegistryErrorIsShownAndTheDialogStillOpensReady) {
    platform::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(InternetSettingsKey, true));
    reg.WriteString("ProxyEnable", "1");
    WriteAll(UpdateArchivePath(), "old");
    std::unique_ptr<TFrmUpdate> dialog;
    EXPECT_EQ(MessageWhileCreating(dialog), "Invalid data type for 'ProxyEnable'");
    EXPECT_TRUE(dialog->ui->rbNoProxy->isChecked());
    EXPECT_EQ(dialog->ui->etProxyServer->text(), "etProxyServer");
    EXPECT_FALSE(dialog->ui->btnCancel->isEnabled());
    EXPECT_FALSE(Leftovers());
    EXPECT_EQ(dialog->HttpGet->FileName, UpdateArchivePath());
}

TEST_F(UpdateDialog, DownloadsExtractsAndBuildsEveryStation) {
    Serve(Zip(30));
    TFrmUpdate dialog;
    dialog.ui->rbIeProxy->setChecked(true);
    dialog.ui->btnUpdate->click();
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：正在下载更新信息...");
    EXPECT_FALSE(dialog.ui->btnClose->isEnabled());
    ASSERT_TRUE(Finished(dialog));
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新完毕");
    EXPECT_TRUE(dialog.ui->btnUpdate->isEnabled());
    EXPECT_FALSE(dialog.ui->btnCancel->isEnabled());
    EXPECT_EQ(Stations().size(), 30u);
    // The schedule the builds wrote over in turn is gone with the extraction.
    EXPECT_FALSE(std::filesystem::exists(ScheduleFilePath() + ".new"));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].requestLine.substr(0, 4), "GET ");
    EXPECT_EQ(dialog.HttpGet->ProxyServer, "127.0.0.1:" + std::to_string(server.Port()));

    dialog.ui->btnClose->click();
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_FALSE(Leftovers());
    EXPECT_EQ(Stations().size(), 30u);
}

// The station folder is emptied before each extraction: a second update
// holds exactly the new archive's stations.
// Most servers send the archive's address on, to another path or to https.
TEST_F(UpdateDialog, UpdatesFromAServerThatRedirects) {
    server.SetReplyFor("/download/showtime.zip",
                       Redirect("http://localhost/files/showtime.zip", "301 Moved Permanently"));
    Serve(Zip(3));
    TFrmUpdate dialog;
    dialog.ui->btnUpdate->click();
    ASSERT_TRUE(Finished(dialog));
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新完毕");
    EXPECT_EQ(Stations().size(), 3u);
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].requestLine, "GET http://localhost/files/showtime.zip HTTP/1.0");
}

TEST_F(UpdateDialog, SecondUpdateInTheSameDialogHoldsOnlyTheNewStations) {
    Serve(Zip(5));
    TFrmUpdate dialog;
    dialog.ui->rbIeProxy->setChecked(true);
    dialog.ui->btnUpdate->click();
    ASSERT_TRUE(Finished(dialog));
    Serve(Zip(3)); // the same first three names
    WriteAll(StationFolderPath() + "/extra.txt", "08:00 x\r\n");
    dialog.ui->btnUpdate->click();
    ASSERT_TRUE(Finished(dialog));
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新完毕");
    EXPECT_EQ(Stations().size(), 3u);
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(UpdateDialog, CancelKeepsTheOldScheduleWhichTheWindowReopens) {
    std::filesystem::create_directory(program.file("old"));
    WriteAll(program.file("old/a.txt"), "08:00 a\r\n");
    BuildScheduleFile(program.file("old"), "*.*", ScheduleFilePath(), 1.0);
    const std::string before = ReadAll(ScheduleFilePath());
    TestReply stall;
    stall.stallAtOnce = true;
    server.SetReply(stall);

    TFrmMain form;
    form.show();
    bool sawDialog = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TFrmUpdate*>(QApplication::activeModalWidget());
        if (!dialog || sawDialog) return;
        sawDialog = true;
        dialog->ui->rbIeProxy->setChecked(true);
        dialog->ui->btnUpdate->click();
        server.WaitUntilStalled();
        dialog->ui->btnCancel->click();
        EXPECT_TRUE(dialog->ui->btnClose->isEnabled());
        dialog->ui->btnClose->click(); // the stopped download may still be ending
    });
    poll.start();
    form.TBXItem7Click();
    poll.stop();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(ReadAll(ScheduleFilePath()), before);
    EXPECT_EQ(form.lbTvSets()->count(), 1);
    EXPECT_EQ(form.lbTvSets()->currentRow(), 0);
    EXPECT_FALSE(Leftovers());
}

TEST_F(UpdateDialog, TheMainWindowShowsStationZeroAfterAnUpdate) {
    Serve(Zip(4));
    TFrmMain form;
    form.show();
    QTimer poll;
    poll.setInterval(10);
    bool clicked = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TFrmUpdate*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (!clicked) {
            clicked = true;
            dialog->ui->rbIeProxy->setChecked(true);
            dialog->ui->btnUpdate->click();
        } else if (dialog->ui->lbHint->text() == "更新提示：更新完毕" &&
                   !dialog->HttpGet->Running()) {
            dialog->ui->btnClose->click();
        }
    });
    poll.start();
    form.TBXItem7Click();
    poll.stop();
    EXPECT_EQ(form.lbTvSets()->count(), 4);
    EXPECT_EQ(form.lbTvSets()->currentRow(), 0);
    EXPECT_GT(form.lvSchedules()->model()->rowCount(), 0);
    EXPECT_TRUE(form.Panel4()->text().startsWith("当前电视台："));
    EXPECT_GT(form.Panel4()->text().size(), QString("当前电视台：").size());
    EXPECT_FALSE(Leftovers());
}

// The archive with its 节目单 and stations, then entries of a test's own.
std::string ZipWith(int stations, const std::vector<std::pair<std::string, std::string>>& more) {
    guide::TZipWriter zip;
    TSampleOptions options;
    options.stations = stations;
    options.programmesPerDay = 4;
    AddSampleStations(zip, options);
    for (const auto& [name, content] : more)
        zip.AddFile(name, content);
    return zip.Finish();
}

// The archive with the deflated data of its n-th local header's entry spoilt.
std::string Damaged(std::string zip, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i)
        at = zip.find("PK\x03\x04", i == 0 ? 0 : at + 4);
    for (std::size_t i = at + 60; i < at + 90; ++i)
        zip[i] = char(0xFF);
    return zip;
}

// The archive cut off where its n-th local header starts.
std::string CutBefore(const std::string& zip, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i)
        at = zip.find("PK\x03\x04", i == 0 ? 0 : at + 4);
    return zip.substr(0, at);
}

// Two stations around an entry whose shrunk data end the run (25116), so the
// last station is never extracted.
std::string RunEndsMidway() {
    const std::string folder = "\xBD\xDA\xC4\xBF\xB5\xA5/"; // 节目单/ in GBK
    ZipTestWriter w;
    w.AddStored(folder + "a.txt", "08:00 a\r\n");
    ZipTestEntry bad;
    bad.name = folder + "bad.txt";
    bad.method = 1;
    bad.uncompressedSize = 10;
    w.Add(bad);
    w.AddStored(folder + "z.txt", "08:00 z\r\n");
    return w.Build();
}

// Each failure leaves the old schedule byte for byte, says why, gets the
// dialog ready again, and leaves nothing of the update beside the program.
TEST_F(UpdateDialog, AFailedUpdateChangesNothing) {
    std::filesystem::create_directory(program.file("old"));
    WriteAll(program.file("old/a.txt"), "08:00 a\r\n");
    BuildScheduleFile(program.file("old"), "*.*", ScheduleFilePath(), 1.0);
    const std::string before = ReadAll(ScheduleFilePath());
    const std::string station = "\xBD\xDA\xC4\xBF\xB5\xA5/"; // 节目单/ in GBK
    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.Port();
    }
    const std::string downloadFailed = "更新提示：下载失败";
    const std::string badArchive = "更新提示：更新文件有误，节目表未改变";
    const struct {
        const char* name;
        std::string body; // served as showtime.zip
        std::string status = "HTTP/1.0 200 OK";
        std::string proxy = ""; // "": the test server
        std::string hint;
        std::string cause = ""; // a part of the line below the hint
    } cases[] = {
        {"server down", "", "HTTP/1.0 200 OK", "127.0.0.1:" + std::to_string(closedPort),
         downloadFailed, "没有应答"},
        {"not found", "<html>gone</html>", "HTTP/1.0 404 Not Found", "", downloadFailed,
         "回答 HTTP 404"},
        {"not a ZIP", "<html>this is not an archive</html>", "HTTP/1.0 200 OK", "", badArchive,
         "更新文件不是 ZIP 文件"},
        {"a damaged entry", Damaged(Zip(3), 2), "HTTP/1.0 200 OK", "", badArchive},
        {"cut short", CutBefore(Zip(5), 4), "HTTP/1.0 200 OK", "", badArchive},
        {"a run that ends in an error", RunEndsMidway(), "HTTP/1.0 200 OK", "", badArchive},
        {"a line end in a name", ZipWith(3, {{station + "bad\nname.txt", "08:00 x\r\n"}}),
         "HTTP/1.0 200 OK", "", badArchive},
        {"damaged, with a schedule of its own",
         Damaged(ZipWith(3, {{"lastsch.sch", "not a schedule"}}), 2), "HTTP/1.0 200 OK", "",
         badArchive},
        {"no station at all", ZipWith(0, {}), "HTTP/1.0 200 OK", "", badArchive, "中没有节目文件"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestReply reply;
        reply.statusLine = c.status;
        reply.body = c.body;
        server.SetReply(reply);
        SetProxy(true, c.proxy.empty() ? server.Address() : c.proxy);
        TFrmUpdate dialog;
        dialog.ui->btnUpdate->click();
        ASSERT_TRUE(Finished(dialog));
        // The hint, and why below it.
        const QStringList lines = dialog.ui->lbHint->text().split('\n');
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0].toStdString(), c.hint);
        EXPECT_NE(lines[1].toStdString().find(c.cause), std::string::npos)
            << lines[1].toStdString();
        EXPECT_TRUE(dialog.ui->btnUpdate->isEnabled());
        EXPECT_FALSE(dialog.ui->btnCancel->isEnabled());
        EXPECT_TRUE(dialog.ui->btnClose->isEnabled());
        EXPECT_EQ(dialog.ui->pbHint->value(), 0);
        EXPECT_EQ(ReadAll(ScheduleFilePath()), before);
        EXPECT_FALSE(Leftovers());
        EXPECT_FALSE(std::filesystem::exists(ScheduleFilePath() + ".new"));
    }
}

// A schedule that cannot be replaced (here held open) is a build that fails:
// its message is shown, and the old schedule stays.
TEST_F(UpdateDialog, AScheduleThatCannotBeReplacedIsSaidAndKept) {
    BuildScheduleFile(program.file("none"), "*.*", ScheduleFilePath(), 1.0);
    const std::string before = ReadAll(ScheduleFilePath());
    Serve(Zip(3));
    TFrmUpdate dialog;
    QString shown;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    poll.start();
    {
        TScheduleObject holder(ScheduleFilePath(), TScheduleObject::fmOpen);
        dialog.ui->btnUpdate->click();
        ASSERT_TRUE(Finished(dialog));
    }
    EXPECT_EQ(shown, "无法创建文件");
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新文件有误，节目表未改变");
    EXPECT_EQ(ReadAll(ScheduleFilePath()), before);
    EXPECT_FALSE(Leftovers());
}

// Only the station folder's entries are extracted: an archive cannot replace
// the schedule or anything else beside the program.
TEST_F(UpdateDialog, OnlyTheStationFolderComesOutOfTheArchive) {
    Serve(ZipWith(4, {{"lastsch.sch", "not a schedule"}, {"vimbrel", "not the program"}}));
    TFrmUpdate dialog;
    dialog.ui->btnUpdate->click();
    ASSERT_TRUE(Finished(dialog));
    EXPECT_EQ(dialog.ui->lbHint->text(), "更新提示：更新完毕");
    EXPECT_EQ(Stations().size(), 4u);
    EXPECT_FALSE(std::filesystem::exists(program.file("vimbrel")));
}

TEST_F(UpdateDialog, ClicksDuringExtractionWaitForItToReturn) {
    Serve(Zip(120));
    TFrmUpdate dialog;
    dialog.show();
    bool clickedMidway = false, closedMidway = false, doneTooSoon = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // "更新完毕" only once the new schedule is in place.
        if (dialog.ui->lbHint->text() == "更新提示：更新完毕" && dialog.HttpGet->Running())
            doneTooSoon = true;
        // Mid-extraction: the download's completion runs.
        if (clickedMidway || !dialog.HttpGet->Running() ||
            dialog.ui->lbHint->text() != "更新提示：解压缩更新文件...")
            return;
        clickedMidway = true;
        // Close is the extraction's to give back; a cancel stops nothing but
        // gives the buttons back at once.
        EXPECT_FALSE(dialog.ui->btnClose->isEnabled());
        dialog.ui->btnCancel->click();
        dialog.ui->btnClose->click();
        closedMidway = !dialog.isVisible() || !std::filesystem::exists(StationFolderPath());
        dialog.ui->btnUpdate->click(); // the download is still finishing: starts nothing
    });
    poll.start();
    dialog.ui->btnUpdate->click();
    ASSERT_TRUE(Finished(dialog));
    ASSERT_TRUE(clickedMidway);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 10000));
    poll.stop();
    EXPECT_TRUE(clickedMidway);
    EXPECT_FALSE(closedMidway);
    EXPECT_FALSE(doneTooSoon);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(Stations().size(), 120u); // every entry was extracted and built in
    EXPECT_FALSE(Leftovers());          // removed only after the extraction returned
}

TEST_F(UpdateDialog, DeleteFolderRemovesATreeAndReportsAMissingOne) {
    std::filesystem::create_directories(program.file("t/a"));
    WriteAll(program.file("t/a/f.txt"), "x");
    EXPECT_TRUE(DeleteFolder(program.file("t")));
    EXPECT_FALSE(std::filesystem::exists(program.file("t")));
    EXPECT_FALSE(DeleteFolder(program.file("t")));
}

} // namespace
