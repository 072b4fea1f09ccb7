// A small HTTP server on 127.0.0.1 (ephemeral port) for tests and benchmarks,
// on its own thread. It answers every request with the configured reply (or
// the one set for the request's path) and records what it received, so it
// serves as a proxy too: point a client at any host with this server as its
// proxy. Replies can be exact, lack a Content-Length, end early, run past
// their length, stall, or redirect.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackListener.h"

struct TestReply {
    std::string statusLine = "HTTP/1.0 200 OK";
    std::string body;
    bool sendLength = true;
    long long announcedLength = -1;            // Content-Length to send; -1: the body's size
    std::string extraHeaders;                  // whole lines, each ending in "\r\n"
    std::size_t sendBytes = std::string::npos; // body bytes sent before the end
    bool stall = false;        // after sending, hold the connection open until the client closes
    bool stallAtOnce = false;  // send nothing at all, hold the connection open
    std::size_t pieceSize = 0; // >0: send the body in pieces of this size
    int pieceDelayMs = 0;      // a pause after each piece (a server that trickles)
};

// A redirect to location, with one of the statuses that redirect.
inline TestReply Redirect(const std::string& location, const char* status = "302 Found") {
    TestReply r;
    r.statusLine = std::string("HTTP/1.1 ") + status;
    r.extraHeaders = "Location: " + location + "\r\n";
    return r;
}

struct RecordedRequest {
    std::string requestLine;
    std::vector<std::string> headerLines; // as received, without CR LF
    std::string body;

    // The value of the first header of that name (ASCII case ignored), or
    // "<none>".
    std::string Header(const std::string& name) const {
        for (const std::string& line : headerLines) {
            const std::size_t colon = line.find(':');
            if (colon != name.size() ||
                !std::equal(name.begin(), name.end(), line.begin(),
                            [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
                continue;
            std::size_t v = colon + 1;
            while (v < line.size() && line[v] == ' ')
                ++v;
            return line.substr(v);
        }
        return "<none>";
    }
};

class TestHttpServer {
public:
    TestHttpServer() : worker([this] { Serve(); }) {}
    ~TestHttpServer() {
        listener.Stop();
        worker.join();
    }

    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return listener.Port(); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(Port()); }

    void SetReply(TestReply r) {
        std::lock_guard lock(mutex);
        reply = std::move(r);
    }
    // The reply to requests for path ("/a/b", also when asked as a proxy for
    // "http://host/a/b"), instead of the one SetReply sets.
    void SetReplyFor(const std::string& path, TestReply r) {
        std::lock_guard lock(mutex);
        routes[path] = std::move(r);
    }
    std::vector<RecordedRequest> Requests() const {
        std::lock_guard lock(mutex);
        return requests;
    }
    // Blocks until a stalling reply has been sent (the client waits from then on).
    void WaitUntilStalled() {
        std::unique_lock lock(mutex);
        stalledChanged.wait(lock, [this] { return stalled; });
    }

private:
    bool WaitFor(int fd, short events) { return listener.WaitFor(fd, events); }

    bool SendAll(int fd, const char* data, std::size_t size) {
        while (size > 0) {
            if (!WaitFor(fd, POLLOUT)) return false;
            const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }

    // Reads the head and, when it announces one, the body of one request.
    bool ReadRequest(int fd, RecordedRequest& r) {
        std::string in;
        std::size_t headEnd;
        char chunk[4096];
        while ((headEnd = in.find("\r\n\r\n")) == std::string::npos) {
            if (!WaitFor(fd, POLLIN)) return false;
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return false;
            in.append(chunk, std::size_t(n));
        }
        std::size_t from = 0, to;
        while ((to = in.find("\r\n", from)) <= headEnd) {
            (from == 0 ? r.requestLine : r.headerLines.emplace_back()) = in.substr(from, to - from);
            from = to + 2;
        }
        const std::string length = r.Header("Content-Length");
        const std::size_t bodySize = length == "<none>" ? 0 : std::stoul(length);
        r.body = in.substr(headEnd + 4);
        while (r.body.size() < bodySize) {
            if (!WaitFor(fd, POLLIN)) return false;
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return false;
            r.body.append(chunk, std::size_t(n));
        }
        return true;
    }

    void Answer(int fd, const TestReply& a) {
        if (!a.stallAtOnce) {
            std::string head = a.statusLine + "\r\n";
            if (a.sendLength)
                head += "Content-Length: " +
                        std::to_string(a.announcedLength >= 0 ? a.announcedLength
                                                              : (long long)a.body.size()) +
                        "\r\n";
            head += a.extraHeaders + "\r\n";
            if (!SendAll(fd, head.data(), head.size())) return;
            const std::size_t total = std::min(a.sendBytes, a.body.size());
            const std::size_t piece = a.pieceSize ? a.pieceSize : total;
            for (std::size_t at = 0; at < total; at += piece) {
                if (!SendAll(fd, a.body.data() + at, std::min(piece, total - at))) return;
                if (a.pieceDelayMs > 0 && listener.Stopped()) return;
                if (a.pieceDelayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(a.pieceDelayMs));
            }
        }
        if (a.stall || a.stallAtOnce) {
            {
                std::lock_guard lock(mutex);
                stalled = true;
            }
            stalledChanged.notify_all();
        } else {
            shutdown(fd, SHUT_WR); // the end of the body
        }
        // Until the client closes (or the server stops); a stalling reply
        // sends nothing more meanwhile.
        char drain[4096];
        while (WaitFor(fd, POLLIN) && recv(fd, drain, sizeof drain, 0) > 0) {
        }
    }

    // The path a request line asks for: its target without scheme and host.
    static std::string PathOf(const std::string& requestLine) {
        const std::size_t from = requestLine.find(' ') + 1;
        std::string target = requestLine.substr(from, requestLine.find(' ', from) - from);
        const std::size_t scheme = target.find("://");
        if (scheme != std::string::npos) {
            const std::size_t slash = target.find('/', scheme + 3);
            target = slash == std::string::npos ? "/" : target.substr(slash);
        }
        return target;
    }

    void Serve() {
        while (!listener.Stopped()) {
            const int fd = listener.Accept(SOCK_NONBLOCK);
            if (fd < 0) continue;
            RecordedRequest r;
            if (ReadRequest(fd, r)) {
                TestReply a;
                {
                    std::lock_guard lock(mutex);
                    requests.push_back(r);
                    const auto route = routes.find(PathOf(r.requestLine));
                    a = route != routes.end() ? route->second : reply;
                }
                Answer(fd, a);
            }
            close(fd);
        }
    }

    LoopbackListener listener; // made before the worker starts, and gone after it
    mutable std::mutex mutex;
    std::condition_variable stalledChanged;
    TestReply reply;
    std::map<std::string, TestReply> routes;
    std::vector<RecordedRequest> requests;
    bool stalled = false;
    std::thread worker;
};
