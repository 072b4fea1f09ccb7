// The worker's life: stops at each check point, starts while running, and the
// component destroyed while its worker runs. Check points are reached through
// the step hook, so no test depends on timing.
#include <QPointer>

#include <atomic>
#include <filesystem>
#include <semaphore>
#include <stdexcept>

#include "http/HttpGetFixture.h"

namespace {

using HttpGetThread = HttpGetFixture;

void SetReceiveTimeout(platform::DWORD ms) {
    platform::InternetSetOptionA(nullptr, platform::INTERNET_OPTION_RECEIVE_TIMEOUT, &ms,
                                 sizeof ms);
}

struct AbortCase {
    THttpGetStep step;
    std::size_t requests; // that reached the server
    long long fileSize;   // -1: no file
};

class HttpGetAbort : public HttpGetFixture, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(HttpGetAbort, EndsInErrorAndNeverInDone) {
    const AbortCase c = GetParam();
    Serve(RandomBytes(5000));
    int progress = 0;
    http.OnProgress = [&](QObject*, std::int32_t, std::int32_t) { ++progress; };
    std::atomic<bool> aborted{false};
    http.StepHook = [&](THttpGetStep step) {
        if (step == c.step && !aborted.exchange(true)) OnGuiThread([&] { http.AbortDownload(); });
    };
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_EQ(server.Requests().size(), c.requests);
    const bool exists = std::filesystem::exists(target);
    EXPECT_EQ(exists ? (long long)std::filesystem::file_size(target) : -1, c.fileSize);
}

INSTANTIATE_TEST_SUITE_P(AtEachStep, HttpGetAbort,
                         ::testing::Values(AbortCase{hsCheck1, 0, -1}, AbortCase{hsCheck2, 1, -1},
                                           AbortCase{hsCheck3, 1, -1}, AbortCase{hsCheck4, 1, 0},
                                           AbortCase{hsProgress, 1, 1025},
                                           AbortCase{hsRunEnd, 1, 5000}));

TEST_F(HttpGetThread, AbortDuringTheLastChunkIsAnError) {
    Serve(RandomBytes(5000));
    http.OnProgress = [&](QObject*, std::int32_t total, std::int32_t received) {
        if (received == total) http.AbortDownload();
    };
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_EQ(std::filesystem::file_size(target), 5000u);
}

TEST_F(HttpGetThread, AbortWhenIdleDoesNothing) {
    http.AbortDownload();
    Serve("abc");
    http.StartDownload();
    http.AbortDownload();
    QCoreApplication::processEvents();
    EXPECT_EQ(outcomes, Outcomes{Done(3)});
}

TEST_F(HttpGetThread, AbortStopsAWorkerWaitingForData) {
    SetReceiveTimeout(600000); // only the stop can end this wait
    TestReply r;
    r.body = RandomBytes(5000);
    r.sendBytes = 100;
    r.stall = true;
    server.SetReply(r);
    http.WaitThread = false;
    std::binary_semaphore reading{0};
    http.StepHook = [&](THttpGetStep step) {
        if (step == hsCheck4) reading.release(); // the first read follows at once
    };
    http.StartDownload();
    reading.acquire();
    server.WaitUntilStalled();
    http.AbortDownload();
    ASSERT_TRUE(WaitUntil([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes, Outcomes{"error"});
}

TEST_F(HttpGetThread, StartWhileRunningStartsNoSecondWorker) {
    Serve(RandomBytes(3000));
    std::atomic<int> starts{0};
    http.StepHook = [&](THttpGetStep step) { starts += step == hsCheck1; };
    http.OnProgress = [&](QObject*, std::int32_t, std::int32_t) { http.StartDownload(); };
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{Done(3000)});
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpGetThread, StartWhileAStoppedWorkerHasNotFinishedDoesNothing) {
    Serve(RandomBytes(3000));
    std::atomic<int> starts{0};
    http.StepHook = [&](THttpGetStep step) {
        starts += step == hsCheck1;
        if (step == hsCheck2)
            OnGuiThread([&] {
                http.AbortDownload();
                http.StartDownload();
            });
    };
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
    EXPECT_EQ(starts, 1);
}

TEST_F(HttpGetThread, ThrowingProgressHandlerFailsTheDownload) {
    Serve(RandomBytes(3000));
    http.OnProgress = [](QObject*, std::int32_t, std::int32_t) { throw std::runtime_error("no"); };
    http.StartDownload();
    EXPECT_EQ(outcomes, Outcomes{"error"});
}

TEST_F(HttpGetThread, ThrowingDoneHandlerReachesTheWaitingCaller) {
    Serve("abc");
    http.OnDoneFile = [](QObject*, const std::string&, std::int32_t) {
        throw std::runtime_error("handler");
    };
    EXPECT_THROW(http.StartDownload(), std::runtime_error);
    http.OnDoneFile = [&](QObject*, const std::string&, std::int32_t size) {
        outcomes.push_back("again " + std::to_string(size));
    };
    http.StartDownload(); // idle again
    EXPECT_EQ(outcomes, Outcomes{"again 3"});
}

// ---- destroying the component while its worker runs -----------------------

class HttpGetDestroy : public HttpGetFixture {
protected:
    // A component on the heap whose handlers note any call.
    TTvHttpGet* Make() {
        auto* h = new TTvHttpGet;
        h->URL = http.URL;
        h->UseProxy = true;
        h->ProxyServer = http.ProxyServer;
        h->FileName = target;
        h->BinaryData = true;
        h->OnProgress = [this](QObject*, std::int32_t, std::int32_t) { ++calls; };
        h->OnDoneFile = [this](QObject*, const std::string&, std::int32_t) { ++calls; };
        h->OnError = [this](QObject*) { ++calls; };
        return h;
    }
    // Runs the event loop until the worker object is gone.
    static void WaitUntilDeleted(const QPointer<QObject>& worker) {
        EXPECT_TRUE(WaitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !worker;
        }));
    }
    int calls = 0;
};

TEST_F(HttpGetDestroy, WhileTheWorkerWaitsForData) {
    SetReceiveTimeout(600000);
    TestReply r;
    r.body = RandomBytes(5000);
    r.sendBytes = 100;
    r.stall = true;
    server.SetReply(r);
    TTvHttpGet* h = Make();
    std::binary_semaphore reading{0};
    h->StepHook = [&](THttpGetStep step) {
        if (step == hsCheck4) reading.release();
    };
    h->StartDownload();
    reading.acquire();
    server.WaitUntilStalled();
    delete h; // stops the worker and waits for it
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(HttpGetDestroy, WhileAProgressStepIsHandedOver) {
    Serve(RandomBytes(5000));
    TTvHttpGet* h = Make();
    std::binary_semaphore handingOver{0};
    h->StepHook = [&](THttpGetStep step) {
        if (step == hsProgress) handingOver.release();
    };
    h->StartDownload();
    handingOver.acquire(); // the worker is about to wait for the GUI thread
    delete h;
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(HttpGetDestroy, FromItsOwnProgressHandler) {
    Serve(RandomBytes(5000));
    TTvHttpGet* h = Make();
    QPointer<QObject> worker;
    h->OnProgress = [&](QObject* sender, std::int32_t, std::int32_t) {
        ++calls;
        worker = sender;
        delete h;
    };
    h->StartDownload();
    ASSERT_TRUE(WaitUntil([&] { return !worker.isNull(); }));
    WaitUntilDeleted(worker);
    EXPECT_EQ(calls, 1);
}

TEST_F(HttpGetDestroy, FromItsOwnDoneHandlerWhileWaiting) {
    Serve("abc");
    TTvHttpGet* h = Make();
    h->WaitThread = true;
    QPointer<QObject> worker;
    h->OnProgress = [&](QObject* sender, std::int32_t, std::int32_t) { worker = sender; };
    h->OnDoneFile = [&](QObject*, const std::string&, std::int32_t) {
        ++calls;
        delete h;
    };
    h->StartDownload();
    WaitUntilDeleted(worker);
    EXPECT_EQ(calls, 1);
}

} // namespace
