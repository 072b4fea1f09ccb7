// A TTvHttpGet pointed at a loopback test server through its proxy setting
// (host "somehost"), waiting for its downloads, with its outcomes logged.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <semaphore>
#include <string>
#include <vector>

#include "http/TestHttpServer.h"
#include "http/U_HttpGet.h"
#include "http/WinInet.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

inline std::string RandomBytes(std::size_t n, unsigned seed = 7) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = char(gen() & 0xFF);
    return s;
}

// Runs functions on the GUI thread for a worker, which waits for each. The
// call travels as an event of its own and the wait is a semaphore: both are
// visible to ThreadSanitizer (the call object a functor invocation shares
// between the threads is not).
class GuiCaller : public QObject {
public:
    void Run(std::function<void()> fn) {
        if (QThread::currentThread() == thread()) return fn();
        std::binary_semaphore done{0};
        QCoreApplication::postEvent(this, new Call([&] {
                                        fn();
                                        done.release();
                                    }));
        done.acquire();
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) return QObject::event(e);
        static_cast<Call*>(e)->fn();
        return true;
    }

private:
    struct Call : QEvent {
        explicit Call(std::function<void()> f) : QEvent(QEvent::User), fn(std::move(f)) {}
        std::function<void()> fn;
    };
};

class HttpGetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        http.URL = "somehost/download/showtime.zip";
        http.UseProxy = true;
        http.ProxyServer = server.Address();
        http.FileName = target;
        http.WaitThread = true;
        http.BinaryData = true;
        http.OnDoneFile = [this](QObject* sender, const std::string& name, std::int32_t size) {
            outcomes.push_back("done " + name + " " + std::to_string(size));
            finishSender = sender;
        };
        http.OnError = [this](QObject* sender) {
            outcomes.push_back("error");
            finishSender = sender;
        };
    }
    void TearDown() override {
        const platform::DWORD defaultMs = 30000;
        platform::InternetSetOptionA(nullptr, platform::INTERNET_OPTION_RECEIVE_TIMEOUT, &defaultMs,
                                     sizeof defaultMs);
    }

    void Serve(const std::string& body) {
        TestReply r;
        r.body = body;
        server.SetReply(r);
    }
    std::string Done(std::int32_t size) const {
        return "done " + target + " " + std::to_string(size);
    }
    using Outcomes = std::vector<std::string>;

    // Runs fn on the GUI thread and waits for it (from a worker's hook).
    void OnGuiThread(std::function<void()> fn) { gui.Run(std::move(fn)); }

    GuiCaller gui;
    TestHttpServer server;
    TempDir dir;
    std::string target = dir.file("showtime.zip");
    Outcomes outcomes;
    QObject* finishSender = nullptr;
    TTvHttpGet http;
};
