// The search dialog while its worker runs: the buttons in every state, pause,
// stop and closing. The gate holds the worker at a safe point, so every step
// is deterministic.
#include <QToolButton>

#include "SearchFixture.h"

namespace {

using TP = TTvSearchThread;

std::vector<TSearchFixture::TStation> FourStations() {
    std::vector<TSearchFixture::TStation> stations;
    const char* names[] = {"北京卫视", "湖南卫视", "浙江卫视", "江苏卫视"};
    for (int i = 0; i < 4; ++i)
        stations.push_back({names[i], Gbk("05/03/14 星期一\r\n08:00 新闻联播\r\n09:00 天气预报\r\n"
                                          "05/03/15 星期二\r\n08:00 新闻联播\r\n")});
    return stations;
}

class FrmSearchWorker : public TSearchFixture {
protected:
    void SetUp() override {
        MakeSchedule(FourStations());
        OpenDialog();
    }
    // The buttons: search enabled, pause enabled, pause down, stop enabled.
    std::array<bool, 4> Buttons() const {
        return {ui.btnSearch->isEnabled(), ui.btnPause->isEnabled(), ui.btnPause->isChecked(),
                ui.btnStop->isEnabled()};
    }
    // Starts a search held as station `held` begins, its progress text shown.
    void StartHeldAt(int held) {
        gate.HoldAt(held, TP::spStation);
        Search(QStringLiteral("新闻"));
        ASSERT_TRUE(gate.WaitFor(held, TP::spStation));
        ASSERT_TRUE(WaitUntil([&] { return Hint() == Progress(held); }));
    }
    void CloseWhileRunning(bool byTitleBar);

    const std::string key = Gbk("新闻");
};

using B = std::array<bool, 4>;

TEST_F(FrmSearchWorker, ButtonsFollowEveryStateOfASearch) {
    EXPECT_EQ(Buttons(), (B{true, false, false, false})) << "opened";
    EXPECT_TRUE(Hint().isEmpty());

    StartHeldAt(1);
    EXPECT_EQ(Buttons(), (B{false, true, false, true})) << "started";

    ui.btnPause->click();
    EXPECT_EQ(Buttons(), (B{false, true, true, false})) << "paused";
    EXPECT_EQ(Hint(), Progress(1));
    ui.btnStop->click(); // disabled: no effect
    EXPECT_FALSE(dlg->StopRequested);

    ui.btnPause->click();
    EXPECT_EQ(Buttons(), (B{false, true, false, true})) << "resumed";

    ui.btnStop->click();
    EXPECT_TRUE(dlg->StopRequested);
    EXPECT_EQ(Buttons(), (B{false, true, false, true})) << "stop clicked";
    EXPECT_EQ(Hint(), Progress(1));

    gate.Release();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Buttons(), (B{true, false, false, false})) << "ended";
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    // The station being searched when stop was clicked is finished.
    EXPECT_EQ(Shown(), Expected(key, 2));
    EXPECT_FALSE(gate.Seen(2, TP::spStation));
}

TEST_F(FrmSearchWorker, StopDuringTheLastStationEndsLikeACompleteSearch) {
    StartHeldAt(3);
    ui.btnStop->click();
    gate.Release();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), Expected(key, 4));
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    EXPECT_EQ(Buttons(), (B{true, false, false, false}));
}

TEST_F(FrmSearchWorker, PauseHoldsTheWorkerAtTheNextStation) {
    StartHeldAt(0);
    ui.btnPause->click();
    gate.Release();
    ASSERT_TRUE(gate.WaitFor(1, TP::spPausing));
    Settle();
    EXPECT_FALSE(gate.Seen(1, TP::spStation));
    EXPECT_EQ(Hint(), Progress(0));
    EXPECT_TRUE(dlg->Worker);
    // What was found before the pause shows.
    EXPECT_TRUE(WaitUntil([&] { return Shown() == Expected(key, 1); }));
    EXPECT_FALSE(gate.Seen(1, TP::spStation));

    ui.btnPause->click();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), Expected(key, 4));
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
}

TEST_F(FrmSearchWorker, StopThenPauseStaysRequestedUntilResumed) {
    StartHeldAt(1);
    ui.btnStop->click();
    ui.btnPause->click();
    gate.Release();
    ASSERT_TRUE(gate.WaitFor(2, TP::spPausing));
    Settle();
    EXPECT_TRUE(dlg->Worker) << "a paused search does not end";
    EXPECT_EQ(Buttons(), (B{false, true, true, false}));
    EXPECT_TRUE(dlg->StopRequested);

    ui.btnPause->click();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_FALSE(gate.Seen(2, TP::spStation));
    EXPECT_EQ(Shown(), Expected(key, 2));
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    EXPECT_EQ(Buttons(), (B{true, false, false, false}));
}

TEST_F(FrmSearchWorker, SecondSearchClearsRowsAndStopRequested) {
    StartHeldAt(1);
    ui.btnStop->click();
    gate.Release();
    ASSERT_TRUE(WaitForEnd());
    ASSERT_GT(dlg->Results->rowCount(), 0);

    gate.HoldAt(0, TP::spStation);
    Search(QStringLiteral("天气"));
    EXPECT_EQ(dlg->Results->rowCount(), 0);
    EXPECT_FALSE(dlg->StopRequested);
    gate.Release();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), Expected(Gbk("天气"), 4));
}

// Closing while paused: the worker is let go to its stop check, the dialog
// waits for it, and nothing it sent is shown after the close began.
TEST_F(FrmSearchWorker, CloseWhilePausedEndsTheWorkerFirst) {
    StartHeldAt(1);
    ui.btnPause->click();
    gate.Release();
    ASSERT_TRUE(gate.WaitFor(2, TP::spPausing));
    Settle();
    const std::vector<TRowTexts> before = Shown();
    ui.SpeedButton1->click();
    EXPECT_FALSE(dlg->Worker);
    EXPECT_EQ(dlg->result(), 1);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(gate.Seen(2, TP::spStation));
    Settle();
    EXPECT_EQ(Shown(), before);
    EXPECT_NE(Hint(), QStringLiteral("搜索完毕"));
}

void FrmSearchWorker::CloseWhileRunning(bool byTitleBar) {
    StartHeldAt(1);
    const std::vector<TRowTexts> before = Shown();
    const QString hint = Hint();
    // The worker is let go only once the dialog waits for it.
    QTimer::singleShot(0, [this] { gate.Release(); });
    if (byTitleBar)
        dlg->close();
    else
        ui.SpeedButton1->click();
    EXPECT_FALSE(dlg->Worker);
    EXPECT_EQ(dlg->result(), byTitleBar ? 0 : 1);
    EXPECT_TRUE(gate.Seen(1, TP::spStation));
    EXPECT_FALSE(gate.Seen(2, TP::spStation));
    Settle();
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(Hint(), hint);
}

TEST_F(FrmSearchWorker, CloseButtonWhileRunningShowsNothingAfterwards) {
    CloseWhileRunning(false);
}

TEST_F(FrmSearchWorker, TitleBarCloseWhileRunningShowsNothingAfterwards) {
    CloseWhileRunning(true);
}

TEST_F(FrmSearchWorker, ModalDialogReturnsOnlyAfterItsWorkerEnded) {
    gate.HoldAt(1, TP::spStation);
    bool workerGoneAtClose = false;
    QTimer::singleShot(0, [&] {
        Search(QStringLiteral("新闻"));
        if (!gate.WaitFor(1, TP::spStation)) return dlg->done(0);
        ui.btnPause->click();
        QTimer::singleShot(0, [&] { gate.Release(); });
        ui.SpeedButton1->click();
        workerGoneAtClose = !dlg->Worker;
    });
    EXPECT_EQ(dlg->exec(), 1);
    EXPECT_TRUE(workerGoneAtClose);
    EXPECT_FALSE(dlg->Worker);
}

TEST_F(FrmSearchWorker, DestroyingAPausedDialogEndsItsWorker) {
    StartHeldAt(0);
    ui.btnPause->click();
    gate.Release();
    ASSERT_TRUE(gate.WaitFor(1, TP::spPausing));
    dlg.reset();
    EXPECT_FALSE(gate.Seen(1, TP::spStation));
}

} // namespace
