// The WinInet stand-in on its own, against the loopback server as a proxy.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "http/HttpGetFixture.h"
#include "http/TestTlsServer.h"
#include "http/WinInet.h"

using namespace platform;

namespace {

class WinInet : public ::testing::Test {
protected:
    void TearDown() override {
        const DWORD ms = 30000;
        InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
        for (HINTERNET h : {request, connection, internet})
            if (h) InternetCloseHandle(h);
    }
    // Opens a GET of http://<host>/file through the test server.
    void Open(const char* host = "somehost", const char* referrer = "",
              const std::atomic<bool>* stop = nullptr) {
        const std::string proxy = server.Address();
        internet = InternetOpenA("test", INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0);
        if (stop) InternetSetStopFlag(internet, stop);
        connection = InternetConnectA(internet, host, INTERNET_DEFAULT_HTTP_PORT, "", "",
                                      INTERNET_SERVICE_HTTP, 0, 0);
        const char* accept[] = {"*/*", nullptr};
        request = HttpOpenRequestA(connection, "GET", "/file", "HTTP/1.0", referrer, accept, 0, 0);
    }
    // Every read's size, up to and including the closing 0.
    std::vector<DWORD> ReadAllChunks(std::string& body, DWORD chunk = 1025) {
        std::vector<DWORD> sizes;
        std::vector<char> buffer(chunk);
        DWORD n = 0;
        do {
            if (!InternetReadFile(request, buffer.data(), chunk, &n)) {
                sizes.push_back(DWORD(-1));
                break;
            }
            sizes.push_back(n);
            body.append(buffer.data(), n);
        } while (n > 0);
        return sizes;
    }

    TestHttpServer server;
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
};

TEST_F(WinInet, ReadsAreFullUntilTheBodyEndsHoweverItArrives) {
    for (std::size_t piece : {std::size_t(0), std::size_t(7), std::size_t(1500)}) {
        TestReply r;
        r.body = RandomBytes(5000);
        r.pieceSize = piece;
        server.SetReply(r);
        Open();
        ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
        std::string body;
        EXPECT_EQ(ReadAllChunks(body), (std::vector<DWORD>{1025, 1025, 1025, 1025, 900, 0}));
        EXPECT_EQ(body, r.body);
        TearDown();
        request = connection = internet = nullptr;
    }
}

TEST_F(WinInet, BodyLargerThanTheBufferPassesWhole) {
    TestReply r;
    r.body = RandomBytes(700 * 1000, 3);
    server.SetReply(r);
    Open();
    ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    std::string body;
    const std::vector<DWORD> sizes = ReadAllChunks(body, 1025);
    EXPECT_EQ(body, r.body);
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 1025u), long(r.body.size() / 1025));
}

TEST_F(WinInet, QueryInfoGivesLengthAndStatusAsWinInetDoes) {
    TestReply r;
    r.body = "12345";
    r.statusLine = "HTTP/1.0 404 Not Found";
    server.SetReply(r);
    Open();
    ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0)); // a 404 is an answer
    char text[8];
    DWORD size = 1, index = 0;
    EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 2u);
    size = sizeof text;
    ASSERT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index));
    EXPECT_STREQ(text, "5");
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(index, 1u);
    size = sizeof text; // there is no second Content-Length
    EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    DWORD status = 0;
    size = sizeof status;
    ASSERT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                               &size, nullptr));
    EXPECT_EQ(status, 404u);
}

TEST_F(WinInet, HeadersEndAtTheirZeroByte) {
    server.SetReply(TestReply{});
    Open();
    const char headers[] = "X-One: 1\r\nX-Two: 2\0X-Three: 3";
    ASSERT_TRUE(HttpSendRequestA(request, headers, sizeof headers, nullptr, 0));
    const RecordedRequest got = server.Requests().at(0);
    EXPECT_EQ(got.Header("X-One"), "1");
    EXPECT_EQ(got.Header("X-Two"), "2");
    EXPECT_EQ(got.Header("X-Three"), "<none>");
}

TEST_F(WinInet, NothingReachesTheServerForABadHostOrAnInjectedLine) {
    Open("somehost:8080");
    EXPECT_FALSE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_NAME_NOT_RESOLVED);
    TearDown();
    request = connection = internet = nullptr;

    Open("somehost", "http://a/\r\nX-Evil: 1");
    EXPECT_EQ(request, nullptr);
    EXPECT_FALSE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    const char injected[] = "X-A: 1\nX-Evil: 2";
    const char* accept[] = {"*/*", nullptr};
    HINTERNET other = HttpOpenRequestA(connection, "GET", "/f", "HTTP/1.0", "", accept, 0, 0);
    EXPECT_FALSE(HttpSendRequestA(other, injected, DWORD(-1), nullptr, 0));
    InternetCloseHandle(other);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(WinInet, RaisedStopFlagEndsAWaitingRead) {
    TestReply r;
    r.body = RandomBytes(5000);
    r.sendBytes = 10;
    r.stall = true;
    server.SetReply(r);
    const DWORD ms = 600000; // only the flag can end the wait
    InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    std::atomic<bool> stop{false};
    Open("somehost", "", &stop);
    ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    std::thread stopper([&] {
        server.WaitUntilStalled();
        stop = true;
    });
    char buffer[1025];
    DWORD n = 0;
    EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &n));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_OPERATION_CANCELLED);
    stopper.join();
}

TEST_F(WinInet, KeptAliveConnectionEndsItsBodyAtTheLength) {
    TestReply r;
    r.statusLine = "HTTP/1.1 200 OK";
    r.body = RandomBytes(3000);
    r.stall = true; // the connection stays open after the body
    server.SetReply(r);
    const DWORD ms = 600000;
    InternetSetOptionA(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    Open();
    ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    std::string body;
    EXPECT_EQ(ReadAllChunks(body).back(), 0u);
    EXPECT_EQ(body, r.body);
}

TEST_F(WinInet, ProxyListGivesItsHttpEntry) {
    server.SetReply(TestReply{});
    for (const std::string& list : {"ftp=10.0.0.1:21;http=" + server.Address(),
                                    "HTTP=" + server.Address() + " https=10.0.0.1:1",
                                    server.Address() + ";ftp=10.0.0.1:21"}) {
        HINTERNET session =
            InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PROXY, list.c_str(), nullptr, 0);
        HINTERNET c =
            InternetConnectA(session, "somehost", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET r = HttpOpenRequestA(c, "GET", "/x", "HTTP/1.0", "", nullptr, 0, 0);
        EXPECT_TRUE(HttpSendRequestA(r, nullptr, 0, nullptr, 0)) << list;
        for (HINTERNET h : {r, c, session})
            InternetCloseHandle(h);
    }
    EXPECT_EQ(server.Requests().size(), 3u);
}

// Sends a GET of /file straight to server; gives the body, or the error.
std::string DirectGet(const TestHttpServer& server) {
    HINTERNET internet = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(internet, "127.0.0.1", INTERNET_PORT(server.Port()), "",
                                            "", INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(connection, "GET", "/file", "HTTP/1.0", "", nullptr, 0, 0);
    std::string outcome;
    if (HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        char buffer[64];
        DWORD n = 0;
        while (InternetReadFile(request, buffer, sizeof buffer, &n) && n > 0)
            outcome.append(buffer, n);
    } else {
        outcome = "error " + std::to_string(GetLastError());
    }
    for (HINTERNET h : {request, connection, internet})
        InternetCloseHandle(h);
    return outcome;
}

// Redirects are followed as the system's own layer does: up to five, to http
// or https only, https with a certificate the system trusts.
TEST(WinInetRedirects, FollowedUpToFiveToHttpOrHttpsOnly) {
    const char* const statuses[] = {"301 Moved Permanently", "302 Found", "303 See Other",
                                    "307 Temporary Redirect", "308 Permanent Redirect"};
    // n redirects from /file, the last to /end, which is the resource.
    auto chain = [&](int n) {
        return [=](TestHttpServer& s) {
            for (int i = 0; i < n; ++i)
                s.SetReplyFor(i == 0 ? "/file" : "/hop" + std::to_string(i),
                              Redirect(i + 1 == n ? "/end" : "/hop" + std::to_string(i + 1),
                                       statuses[i % 5]));
            TestReply end;
            end.body = "the end";
            s.SetReplyFor("/end", end);
        };
    };
    auto to = [](const std::string& location) {
        return [=](TestHttpServer& s) { s.SetReplyFor("/file", Redirect(location)); };
    };
    TestTlsServer untrusted;
    const struct {
        const char* name;
        std::function<void(TestHttpServer&)> routes;
        std::string outcome;
    } cases[] = {
        {"another path", chain(1), "the end"},
        {"five redirects", chain(5), "the end"},
        {"six redirects", chain(6), "error " + std::to_string(ERROR_HTTP_REDIRECT_FAILED)},
        {"a loop", to("/file"), "error " + std::to_string(ERROR_HTTP_REDIRECT_FAILED)},
        {"another scheme", to("ftp://127.0.0.1/file"),
         "error " + std::to_string(ERROR_HTTP_REDIRECT_FAILED)},
        {"https, self-signed", to("https://127.0.0.1:" + std::to_string(untrusted.Port()) + "/"),
         "error " + std::to_string(ERROR_INTERNET_INVALID_CA)},
    };
    for (const auto& c : cases) {
        TestHttpServer server;
        c.routes(server);
        EXPECT_EQ(DirectGet(server), c.outcome) << c.name;
    }
    // The https redirect was followed, and the handshake refused by the client.
    EXPECT_EQ(untrusted.Connections(), 1);
    EXPECT_EQ(untrusted.Handshakes(), 0);
}

TEST_F(WinInet, StaleHandlesFail) {
    int local = 0;
    EXPECT_FALSE(InternetCloseHandle(&local));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD n = 0;
    char b[4];
    EXPECT_FALSE(InternetReadFile(&local, b, sizeof b, &n));
    HINTERNET h = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(HttpOpenRequestA(h, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_TRUE(InternetCloseHandle(h));
    EXPECT_FALSE(InternetCloseHandle(h));
}

} // namespace
