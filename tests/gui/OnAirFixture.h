// Main-window tests of what is on now and of finding a station: a schedule of
// a few stations on 2026-12-08 (a Tuesday), the window's clock set by the
// test, and the user's hive in a folder of the test's own.
#pragma once

#include <QListWidget>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "GuiTestSupport.h"
#include "gui/U_FrmMain.h"
#include "support/ScopedEnv.h"

inline QDateTime At(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

// 26 rows of 2026-12-08 from 06:00, every 45 minutes, the last two past midnight:
// row 4 starts at 09:00, row 24 at 00:00 of 2026-12-09.
inline std::string TuesdayText(const char* title) {
    std::vector<std::string> lines = {"26/12/08 星期二"};
    for (int i = 0; i < 26; ++i) {
        const int minutes = (6 * 60 + 45 * i) % (24 * 60);
        lines.push_back(QString("%1:%2 %3%4")
                            .arg(minutes / 60, 2, 10, QChar('0'))
                            .arg(minutes % 60, 2, 10, QChar('0'))
                            .arg(QString::fromUtf8(title))
                            .arg(i)
                            .toStdString());
    }
    std::vector<const char*> raw;
    for (const std::string& line : lines)
        raw.push_back(line.c_str());
    return StationText(raw);
}

class OnAirTest : public GuiTest {
protected:
    // Stations in file order: 0 CCTV-1, 1 CCTV-5, 2 CCTV5+, 3 湖南卫视, 4 空台 (no rows).
    void BuildStations() {
        Build({{"CCTV-1", TuesdayText("综合")},
               {"CCTV-5", TuesdayText("体育")},
               {"CCTV5+", TuesdayText("赛事")},
               {"湖南卫视", TuesdayText("快乐")},
               {"空台", StationText({"26/12/08 星期二"})}});
    }
    void Start(const char* now = "2026-12-08 09:10") {
        form = std::make_unique<TFrmMain>();
        SetClock(now);
        form->show();
        form->FormShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void SetClock(const char* now) {
        const QDateTime at = At(now);
        form->Clock = [at] { return at; };
    }
    int Row(const QString& name) const {
        for (int i = 0; i < form->lbTvSets()->count(); ++i)
            if (form->lbTvSets()->item(i)->text() == name) return i;
        return -1;
    }
    void Click(const QString& name) {
        QListWidget* list = form->lbTvSets();
        const int row = Row(name);
        ASSERT_GE(row, 0) << name.toStdString();
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    QStringList Visible() const {
        QStringList names;
        for (int i = 0; i < form->lbTvSets()->count(); ++i)
            if (!form->lbTvSets()->isRowHidden(i)) names << form->lbTvSets()->item(i)->text();
        return names;
    }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < form->lbTvSets()->count(); ++i)
            names << form->lbTvSets()->item(i)->text();
        return names;
    }

    TempDir config;
    ScopedConfigHome configHome{config.path()};
    std::unique_ptr<TFrmMain> form; // goes before the hive's folder is given back
};
