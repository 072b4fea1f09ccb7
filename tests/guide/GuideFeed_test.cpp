// The demo server's real-guide archive: a guide on loopback or on disk, packed
// again when it changes, the last good archive kept when a pack fails; and the
// server itself, giving up root before it reads the guide.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>

#include "GuideFeed.h"
#include "GuideTestSupport.h"
#include "SampleGuide.h"
#include "guide/GuideTime.h"
#include "http/TestHttpServer.h"

namespace {

// A guide of this week (the feed's window) with the given number of stations.
std::string ThisWeeksGuide(int stations) {
    TSampleGuideOptions options;
    const QDate monday = guide::ThisWeeksMonday(480);
    options.stations.year = monday.year();
    options.stations.month = monday.month();
    options.stations.day = monday.day();
    options.stations.stations = stations;
    options.stations.programmesPerDay = 5;
    std::ostringstream xml;
    WriteSampleGuide(xml, options);
    return xml.str();
}

std::size_t Stations(const std::shared_ptr<const std::string>& zip) {
    return zip ? CentralDirectory(*zip).size() - 1 : 0;
}

struct FeedLog {
    std::vector<std::string> lines;
    TGuideFeed::TLog Sink() {
        return [this](const std::string& line) { lines.push_back(line); };
    }
};

TEST(GuideFeed, AUrlKeepsTheLastGoodArchiveWhenAFetchFails) {
    TestHttpServer http;
    TestReply reply;
    reply.body = Gzip(ThisWeeksGuide(3));
    http.SetReply(reply);
    FeedLog log;
    TGuideFeed feed("http://" + http.Address() + "/guide.xml.gz", log.Sink());
    EXPECT_EQ(feed.Archive(), nullptr); // nothing before the first fetch
    ASSERT_TRUE(feed.Refresh());
    const auto good = feed.Archive();
    EXPECT_EQ(Stations(good), 3u);
    const std::string whole = reply.body;
    TestReply serverError;
    serverError.statusLine = "HTTP/1.0 500 Internal Server Error";
    serverError.body = "oops";
    TestReply dropped = reply; // the connection drops halfway
    dropped.sendBytes = whole.size() / 2;
    const TestReply failures[] = {serverError, dropped};
    for (const TestReply& failure : failures) {
        http.SetReply(failure);
        EXPECT_FALSE(feed.Refresh()) << failure.statusLine;
        EXPECT_EQ(feed.Archive(), good);
    }
    EXPECT_EQ(log.lines.size(), 3u);
    EXPECT_NE(log.lines.back().find("keeping the last good archive"), std::string::npos);
}

TEST(GuideFeed, AFileIsPackedAgainWhenItChanges) {
    TempDir dir;
    const std::string path = dir.file("guide.xml");
    WriteAll(path, ThisWeeksGuide(2));
    FeedLog log;
    TGuideFeed feed(path, log.Sink());
    const auto first = feed.Archive();
    EXPECT_EQ(Stations(first), 2u);
    EXPECT_EQ(feed.Archive(), first); // unchanged: not packed again
    WriteAll(dir.file("next.xml"), Gzip(ThisWeeksGuide(4)));
    std::filesystem::rename(dir.file("next.xml"), path);
    EXPECT_EQ(Stations(feed.Archive()), 4u);
    const auto second = feed.Archive();
    WriteAll(path, "<tv><channel id=\"cut\"");
    EXPECT_EQ(feed.Archive(), second);
    EXPECT_EQ(log.lines.size(), 3u);
}

// Runs the real server on a free port; its first line names the port.
class ServerProcess {
public:
    ServerProcess(const QStringList& args, const QProcessEnvironment& env) {
        process.setProcessEnvironment(env);
        process.start(QString(VIMBREL_BIN_DIR) + "/vimbrel-demo-server",
                      QStringList{"--port", "0"} + args);
        while (!process.canReadLine() && process.waitForReadyRead(20000)) {
        }
        const QString line = QString::fromUtf8(process.readLine());
        port = line.section(u':', -1).section(u'/', 0, 0).toInt();
    }
    ~ServerProcess() {
        process.kill();
        process.waitForFinished();
    }
    // The reply to one request for the archive, whole.
    std::string Get() const {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(std::uint16_t(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            const std::string request = "GET /download/showtime.zip HTTP/1.0\r\n\r\n";
            send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            char buf[65536];
            for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
                reply.append(buf, std::size_t(n));
        }
        close(fd);
        return reply;
    }
    qint64 Pid() const { return process.processId(); }
    int port = 0;
    QProcess process;
};

std::string UidOf(qint64 pid) {
    std::istringstream status(ReadAll("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Uid:", 0) == 0) return line.substr(4, line.find('\t', 5) - 4);
    return "?";
}

TEST(DemoServer, ServesAGuideAsTheUserItDropsTo) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    WriteAll(dir.file("guide.xml"), ThisWeeksGuide(2));
    std::filesystem::permissions(dir.file("guide.xml"), std::filesystem::perms::all);
    for (const char* sudoUid : {"", "12345"}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("SUDO_UID");
        if (*sudoUid) {
            env.insert("SUDO_UID", sudoUid);
            env.insert("SUDO_GID", sudoUid);
        }
        ServerProcess server({"--xmltv", QString::fromStdString(dir.file("guide.xml"))}, env);
        ASSERT_GT(server.port, 0);
        EXPECT_EQ(UidOf(server.Pid()),
                  *sudoUid ? "\t12345" : "\t" + std::to_string(getpwnam("nobody")->pw_uid));
        const std::string reply = server.Get();
        ASSERT_EQ(reply.rfind("HTTP/1.0 200 OK", 0), 0u) << reply.substr(0, 80);
        EXPECT_EQ(CentralDirectory(reply.substr(reply.find("\r\n\r\n") + 4)).size(), 3u);
    }
}

} // namespace
