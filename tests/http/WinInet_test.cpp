// The WinInet stand-in on its own, against the loopback server as a proxy.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "http/HttpGetFixture.h"
#include "platform/WinInet.h"

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
