// A search dialog over a real schedule file, with a gate that holds its worker
// at a chosen safe point so that tests step it without sleeping.
#pragma once

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "gui/U_FrmSearch.h"
#include "gui/U_MainFunGui.h"
#include "platform/CodePage.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_TvSchedule.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

inline std::string Gbk(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

// Holds the worker when it reaches a chosen (station, safe point) until the
// test releases it; records every safe point passed. Standard mutexes, so that
// ThreadSanitizer sees the hand-over.
class TWorkerGate {
public:
    using TPoint = std::pair<int, TTvSearchThread::TSafePoint>;

    void HoldAt(int station, TTvSearchThread::TSafePoint point) {
        std::lock_guard lock(mutex);
        hold = TPoint{station, point};
    }
    TTvSearchThread::TSafePointHook Hook() {
        return [this](int station, TTvSearchThread::TSafePoint point) {
            std::unique_lock lock(mutex);
            seen.push_back({station, point});
            changed.notify_all();
            if (open || hold != TPoint{station, point}) return;
            holding = true;
            changed.wait(lock, [this] { return !holding || open; });
        };
    }
    // GUI thread: until the worker has passed (or is held at) the point. The
    // limit only keeps a broken test from hanging.
    bool WaitFor(int station, TTvSearchThread::TSafePoint point) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [&] {
            return SeenLocked({station, point});
        });
    }
    bool Seen(int station, TTvSearchThread::TSafePoint point) {
        std::lock_guard lock(mutex);
        return SeenLocked({station, point});
    }
    void Release() {
        std::lock_guard lock(mutex);
        holding = false;
        hold.reset();
        changed.notify_all();
    }
    void Open() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }

private:
    bool SeenLocked(TPoint point) const {
        return std::find(seen.begin(), seen.end(), point) != seen.end();
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TPoint> seen;
    std::optional<TPoint> hold;
    bool holding = false, open = false;
};

// Lets every message already sent be shown.
inline void Settle() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// The dialog's controls, found by their names.
struct TControls {
    TControls() = default;
    explicit TControls(QWidget& dialog)
        : Label1(Find<QLabel>(dialog, "Label1")),
          etSearchKey(Find<QLineEdit>(dialog, "etSearchKey")),
          btnSearch(Find<QToolButton>(dialog, "btnSearch")),
          btnPause(Find<QToolButton>(dialog, "btnPause")),
          btnStop(Find<QToolButton>(dialog, "btnStop")),
          SpeedButton1(Find<QToolButton>(dialog, "SpeedButton1")),
          Bevel1(Find<QFrame>(dialog, "Bevel1")),
          lvSearchList(Find<QTableView>(dialog, "lvSearchList")),
          BarHint(Find<QStatusBar>(dialog, "BarHint")) {}
    template <class T> static T* Find(QWidget& dialog, const char* name) {
        T* control = dialog.findChild<T*>(name);
        EXPECT_TRUE(control) << name;
        return control;
    }
    QLabel* Label1 = nullptr;
    QLineEdit* etSearchKey = nullptr;
    QToolButton *btnSearch = nullptr, *btnPause = nullptr, *btnStop = nullptr,
                *SpeedButton1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QTableView* lvSearchList = nullptr;
    QStatusBar* BarHint = nullptr;
};

class TSearchFixture : public ::testing::Test {
public:
    using TStation = std::pair<std::string, std::string>; // UTF-8 name, GBK text
    // A result row: station, Date, Weekday, Time, Title (GBK).
    using TRowTexts = std::array<std::string, 5>;

protected:
    void TearDown() override {
        gate.Open();
        dlg.reset();
    }

    // Builds lastsch.sch from the stations and loads the station lists.
    void MakeSchedule(const std::vector<TStation>& stations) {
        std::string folder = dir.file("stations/");
        std::filesystem::create_directories(folder);
        for (const auto& [name, text] : stations) {
            WriteAll(folder + name + ".txt", text);
            texts[Gbk(name.c_str())] = text;
        }
        BuildScheduleFile(folder, "*.*", dir.file("lastsch.sch"), 38425.5);
        OpenSchedule();
    }
    void OpenSchedule() {
        schedule =
            std::make_unique<TScheduleObject>(dir.file("lastsch.sch"), TScheduleObject::fmOpen);
        LoadStationList(*schedule, &names, &offsets);
    }
    // The GBK name of list entry i.
    std::string ListName(int i) const {
        return names.item(i)->data(GbkNameRole).toByteArray().toStdString();
    }
    void OpenDialog() {
        dlg = std::make_unique<TFrmSearch>(nullptr, schedule.get(), &names, &offsets);
        dlg->WorkerSafePointHook = gate.Hook();
        dlg->show();
        ui = TControls(*dlg);
    }
    void Search(const QString& key) {
        ui.etSearchKey->setText(key);
        ui.btnSearch->click();
    }
    bool WaitForEnd() {
        return WaitUntil([this] { return !dlg->Worker; });
    }
    QString Hint() const { return dlg->HintPanel->text(); }
    QString Progress(int station) const {
        return QStringLiteral("正在搜索电视台：") + platform::GbkToQString(ListName(station));
    }
    std::vector<std::string> Column(TSearchResultModel::TColumn column) const {
        std::vector<std::string> cells;
        for (int row = 0; row < dlg->Results->rowCount(); ++row)
            cells.emplace_back(dlg->Results->Text(row, column));
        return cells;
    }
    // The rows the key should give for list entries [0, stations), in list
    // order and line order.
    std::vector<TRowTexts> Expected(const std::string& key, int stations) const {
        std::vector<TRowTexts> rows;
        for (int i = 0; i < stations; ++i)
            for (const ScheduleRow& row : StationRows(TextLines(texts.at(ListName(i)))))
                if (row.Line.find(key) != std::string::npos)
                    rows.push_back({ListName(i), row.Date, row.Weekday, row.Time, row.Title});
        return rows;
    }
    std::vector<TRowTexts> Shown() const {
        std::vector<TRowTexts> rows;
        for (int row = 0; row < dlg->Results->rowCount(); ++row) {
            TRowTexts texts;
            for (int column = 0; column < TSearchResultModel::ColumnCount; ++column)
                texts[std::size_t(column)] =
                    dlg->Results->Text(row, TSearchResultModel::TColumn(column));
            rows.push_back(texts);
        }
        return rows;
    }

    TempDir dir;
    std::map<std::string, std::string> texts; // GBK name -> text
    std::unique_ptr<TScheduleObject> schedule;
    QListWidget names, offsets;
    TWorkerGate gate;
    TControls ui;
    std::unique_ptr<TFrmSearch> dlg; // last: it goes before what its worker uses
};
