// Shared pieces of the GUI tests: schedules built on disk in a temporary
// program folder, and a watcher that answers the modal boxes a test provokes.
#pragma once

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/CodePage.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunFolder.h"
#include "support/TempDir.h"

// GBK bytes of a text written in this file (UTF-8).
inline std::string Gbk(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

// Station text from lines given in UTF-8, each ended by CR LF.
inline std::string StationText(const std::vector<const char*>& lines) {
    std::string text;
    for (const char* line : lines)
        text += Gbk(line) + "\r\n";
    return text;
}

// A test with its own program folder; Build writes station files (native
// names without ".txt") and packs them into lastsch.sch there.
class GuiTest : public ::testing::Test {
protected:
    GuiTest() { SetProgramFolder(dir.path()); }

    void Build(const std::vector<std::pair<std::string, std::string>>& stations) {
        const std::string folder = dir.file("stations-" + std::to_string(++builds) + "/");
        std::filesystem::create_directories(folder);
        for (const auto& [name, text] : stations)
            WriteAll(folder + name + ".txt", text);
        BuildScheduleFile(folder, "*.*", ScheduleFilePath(), 0);
    }

    TempDir dir;
    int builds = 0;
};

// Calls answer with every modal widget that opens while it lives, after the
// widget is up; answer must close it.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> answer) : answer(std::move(answer)) {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == last) return;
            last = modal;
            ++count;
            this->answer(modal);
            last = nullptr;
        });
        timer.start(10);
    }
    int Count() const { return count; }

private:
    std::function<void(QWidget*)> answer;
    QTimer timer;
    QWidget* last = nullptr;
    int count = 0;
};

inline QColor Pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}
