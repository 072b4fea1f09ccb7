// Downloads end to end against the loopback server: outcomes, files, progress
// and the request that reaches the server.
#include <QMetaProperty>

#include <cstdlib>
#include <filesystem>

#include "http/HttpGetFixture.h"
#include "http/WinInet.h"
#include "support/ScopedEnv.h"

namespace {

using HttpGet = HttpGetFixture;

TEST(HttpGetProperties, HaveTheirInitialValues) {
    TTvHttpGet http;
    EXPECT_EQ(http.AcceptTypes, "*/*");
    EXPECT_EQ(http.Agent, "Brantock HTTPGet");
    EXPECT_FALSE(http.BinaryData);
    EXPECT_EQ(http.URL, "");
    EXPECT_FALSE(http.UseCache);
    EXPECT_EQ(http.FileName, "");
    EXPECT_EQ(http.UserName, "");
    EXPECT_EQ(http.Password, "");
    EXPECT_EQ(http.PostQuery, "");
    EXPECT_EQ(http.Referer, "");
    EXPECT_FALSE(http.WaitThread);
    EXPECT_FALSE(http.UseProxy);
    EXPECT_EQ(http.ProxyServer, "");
    EXPECT_FALSE(http.OnProgress || http.OnDoneFile || http.OnDoneString || http.OnError);
    EXPECT_EQ(http.property("Agent").value<std::string>(), "Brantock HTTPGet");
    // Published in declaration order.
    const QMetaObject* meta = http.metaObject();
    const int first = meta->propertyOffset();
    ASSERT_EQ(meta->propertyCount() - first, 13);
    EXPECT_STREQ(meta->property(first).name(), "AcceptTypes");
    EXPECT_STREQ(meta->property(first + 12).name(), "ProxyServer");
}

TEST_F(HttpGet, DownloadsTheExactBytes) {
    const std::string body = RandomBytes(5000);
    Serve(body);
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{Done(5000)});
    EXPECT_EQ(finishSender, &http);
    EXPECT_EQ(ReadAll(target), body);
}

TEST_F(HttpGet, ReportsEveryChunkFromTheWorkerOnTheGuiThread) {
    Serve(RandomBytes(5000));
    std::vector<std::int32_t> sizes;
    std::vector<QObject*> senders;
    http.OnProgress = [&](QObject* sender, std::int32_t total, std::int32_t received) {
        EXPECT_EQ(total, 5000);
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        EXPECT_NE(qobject_cast<TTvHttpGetThread*>(sender), nullptr);
        senders.push_back(sender);
        sizes.push_back(received);
    };
    http.StartDownload();
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{1025, 2050, 3075, 4100, 5000}));
    ASSERT_FALSE(senders.empty());
    EXPECT_EQ(std::count(senders.begin(), senders.end(), senders[0]), 5);
    EXPECT_EQ(outcomes, Outcomes{Done(5000)});
}

TEST_F(HttpGet, EmptyBodyWithLengthZeroSucceeds) {
    Serve("");
    WriteAll(target, "old");
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{Done(0)});
    EXPECT_EQ(ReadAll(target), "");
}

TEST_F(HttpGet, WithoutLengthBinaryDataNeitherCreatesNorTruncates) {
    TestReply r;
    r.body = "body";
    r.sendLength = false;
    server.SetReply(r);
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_FALSE(std::filesystem::exists(target));

    WriteAll(target, "keep me");
    outcomes.clear();
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_EQ(ReadAll(target), "keep me");
}

TEST_F(HttpGet, WithoutLengthTextModeReadsTheBodyButOnlyAnEmptyOneSucceeds) {
    http.BinaryData = false;
    TestReply r;
    r.sendLength = false;
    r.body = RandomBytes(3000);
    server.SetReply(r);
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_EQ(ReadAll(target), r.body);

    r.body.clear();
    server.SetReply(r);
    outcomes.clear();
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{Done(0)});
}

TEST_F(HttpGet, ShortBodyFailsAndKeepsWhatArrived) {
    TestReply r;
    r.body = RandomBytes(5000);
    r.sendBytes = 3000;
    server.SetReply(r);
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_EQ(ReadAll(target), r.body.substr(0, 3000));
}

TEST_F(HttpGet, BodyLongerThanItsLengthFailsAndIsNotWrittenPastIt) {
    TestReply r;
    r.body = RandomBytes(5000);
    r.announcedLength = 3000;
    server.SetReply(r);
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    const std::string written = ReadAll(target);
    EXPECT_LE(written.size(), 3000u);
    EXPECT_EQ(written, r.body.substr(0, written.size()));
}

TEST_F(HttpGet, LengthThatIsNoNumberFailsBeforeTheFile) {
    TestReply r;
    r.sendLength = false;
    r.extraHeaders = "Content-Length: 12abc\r\n";
    r.body = "x";
    server.SetReply(r);
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(HttpGet, StatusOtherThan200FailsWithoutTouchingTheFile) {
    for (bool binary : {true, false}) {
        for (const char* status : {"HTTP/1.0 404 Not Found", "HTTP/1.0 302 Found"}) {
            TestReply r;
            r.statusLine = status;
            r.body = "<html>not here</html>";
            server.SetReply(r);
            http.BinaryData = binary;
            outcomes.clear();
            http.StartDownload();
            EXPECT_EQ(outcomes, Outcomes{"error"}) << status;
            EXPECT_FALSE(std::filesystem::exists(target)) << status;
        }
    }
}

TEST_F(HttpGet, ConnectionThatFailsAltogetherIsAnErrorInTextModeToo) {
    http.BinaryData = false;
    Serve("unreached");
    // No "/": no host. A port in the URL stays part of the host name.
    for (const char* url :
         {"somehost", "somehost:8080/download/showtime.zip", "http://127.0.0.1:1/x"}) {
        http.URL = url;
        outcomes.clear();
        http.StartDownload();
        EXPECT_EQ(outcomes, Outcomes{"error"}) << url;
        EXPECT_FALSE(std::filesystem::exists(target)) << url;
    }
    EXPECT_TRUE(server.Requests().empty());
}

// Before OnError runs, the component tells why: the HTTP status of the
// response, or the WinInet error of a server that never answered, and the host.
TEST_F(HttpGet, AFailureTellsItsStatusOrErrorAndHost) {
    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.Port();
    }
    const struct {
        const char* name;
        const char* status; // of the reply; null: the proxy is a closed port
        std::uint32_t error;
        int httpStatus;
    } cases[] = {
        {"not found", "HTTP/1.0 404 Not Found", 0, 404},
        {"server error", "HTTP/1.0 503 Service Unavailable", 0, 503},
        {"no answer", nullptr, platform::ERROR_INTERNET_CANNOT_CONNECT, 0},
    };
    for (const auto& c : cases) {
        TestReply r;
        if (c.status) r.statusLine = c.status;
        server.SetReply(r);
        http.ProxyServer = c.status ? server.Address() : "127.0.0.1:" + std::to_string(closedPort);
        std::uint32_t error = 1;
        int status = -1;
        http.OnError = [&](QObject*) {
            error = http.LastError;
            status = http.LastStatus;
        };
        http.StartDownload();
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(status, c.httpStatus) << c.name;
        EXPECT_EQ(http.LastHost, "somehost") << c.name;
    }
}

TEST_F(HttpGet, UnwritableFileIsAnError) {
    Serve("data");
    http.FileName = dir.file("missing-folder/showtime.zip");
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
}

TEST_F(HttpGet, NotWaitingReturnsAtOnceAndTheEventsFollow) {
    Serve(RandomBytes(2000));
    http.WaitThread = false;
    http.StartDownload();
    EXPECT_TRUE(outcomes.empty());
    ASSERT_TRUE(WaitUntil([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes, Outcomes{Done(2000)});
}

TEST_F(HttpGet, TheWorkerUsesCopiesTakenAtTheStart) {
    const std::string body = RandomBytes(3000);
    Serve(body);
    http.OnProgress = [&](QObject*, std::int32_t, std::int32_t) {
        http.FileName = dir.file("other.zip");
        http.OnProgress = nullptr;
    };
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{Done(3000)});
    EXPECT_EQ(ReadAll(target), body);
}

TEST_F(HttpGet, GetRequestCarriesItsHeaders) {
    Serve("x");
    http.Referer = "http://referrer.example/page";
    http.StartDownload();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& r = requests[0];
    EXPECT_EQ(r.requestLine, "GET http://somehost/download/showtime.zip HTTP/1.0");
    EXPECT_EQ(r.Header("Host"), "somehost");
    EXPECT_EQ(r.Header("Accept"), "*/*");
    EXPECT_EQ(r.Header("Referer"), "http://referrer.example/page");
    EXPECT_EQ(r.Header("User-Agent"), "Brantock HTTPGet");
    EXPECT_EQ(r.Header("Pragma"), "no-cache");
    EXPECT_EQ(r.Header("Cache-Control"), "no-cache");
    EXPECT_EQ(r.Header("Content-Type"), "<none>");
    EXPECT_EQ(r.body, "");
}

TEST_F(HttpGet, CacheAgentAndAcceptChoicesShowInTheRequest) {
    Serve("x");
    http.URL = "HTTP://somehost/a?b=http://c";
    http.UseCache = true;
    http.Agent = "";
    http.AcceptTypes = "application/zip";
    http.UserName = "user";
    http.Password = "pw";
    http.StartDownload();
    const RecordedRequest r = server.Requests().at(0);
    EXPECT_EQ(r.requestLine, "GET http://somehost/a?b=http://c HTTP/1.0");
    EXPECT_EQ(r.Header("Pragma"), "<none>");
    EXPECT_EQ(r.Header("Cache-Control"), "<none>");
    EXPECT_EQ(r.Header("User-Agent"), "<none>");
    EXPECT_EQ(r.Header("Accept"), "application/zip");
    EXPECT_EQ(r.Header("Authorization"), "Basic dXNlcjpwdw==");
}

TEST_F(HttpGet, PostSendsTheFormHeaderAsWrittenAndTheQuery) {
    Serve("ok");
    http.PostQuery = "station=CCTV-1&day=2";
    http.StartDownload();
    const RecordedRequest r = server.Requests().at(0);
    EXPECT_EQ(r.requestLine, "POST http://somehost/download/showtime.zip HTTP/1.0");
    EXPECT_NE(std::find(r.headerLines.begin(), r.headerLines.end(),
                        "Content-Type:application/x-www-form-urlencoded"),
              r.headerLines.end());
    EXPECT_EQ(r.Header("Content-Length"), "20");
    EXPECT_EQ(r.body, "station=CCTV-1&day=2");
    EXPECT_EQ(outcomes, Outcomes{Done(2)});
}

// Without UseProxy the preconfigured settings apply: the environment's proxy.
TEST_F(HttpGet, PreconfiguredProxyComesFromTheEnvironment) {
    Serve("via env");
    const std::string proxy = "http://" + server.Address();
    {
        const ScopedEnv clean{"http_proxy", "no_proxy", "NO_PROXY"};
        setenv("http_proxy", proxy.c_str(), 1);
        http.UseProxy = false;
        http.StartDownload();
    }
    EXPECT_EQ(outcomes, Outcomes{Done(7)});
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].requestLine,
              "GET http://somehost/download/showtime.zip HTTP/1.0");
}

TEST_F(HttpGet, StalledServerEndsInAnErrorAfterTheReceiveTimeout) {
    const platform::DWORD ms = 300;
    platform::InternetSetOptionA(nullptr, platform::INTERNET_OPTION_RECEIVE_TIMEOUT, &ms,
                                 sizeof ms);
    for (bool atOnce : {true, false}) {
        TestReply r;
        r.body = RandomBytes(5000);
        r.sendBytes = 100;
        r.stall = !atOnce;
        r.stallAtOnce = atOnce;
        server.SetReply(r);
        outcomes.clear();
        http.StartDownload();
        EXPECT_EQ(outcomes, Outcomes{"error"});
    }
}

} // namespace
