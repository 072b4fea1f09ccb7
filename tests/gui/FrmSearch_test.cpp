// The search dialog: its controls, and searches that run to their end.
#include <QHeaderView>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <cstring>

#include "SearchFixture.h"

namespace {

using TP = TTvSearchThread;

const std::vector<TSearchFixture::TStation> Stations = {
    {"中央一台", Gbk("05/03/14 星期一\r\n08:00 新闻联播\r\n09:00 体育新闻\r\n\r\n"
                     "05/03/15 星期二\r\n08:00 新闻联播\r\n")},
    {"中央二台", Gbk("07:00 早间新闻\r\n05/03/15 星期二\r\n10:00 Movie\r\n10:30 movie night\r\n")},
    {"东方卫视", Gbk("05/03/16 星期三\r\n11:00 新闻30分\r\n12:00 午间?\r\n")},
};

class FrmSearch : public TSearchFixture {};

TEST_F(FrmSearch, OpensWithItsControlsInPlace) {
    MakeSchedule(Stations);
    OpenDialog();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("节目查找"));
    EXPECT_EQ(dlg->size(), QSize(521, 389));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_EQ(dlg->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(dlg->font().pointSize(), 9);

    EXPECT_EQ(ui.Label1->text(), QStringLiteral("搜索关键字："));
    EXPECT_EQ(ui.Label1->pos(), QPoint(8, 8));
    EXPECT_EQ(ui.etSearchKey->geometry(), QRect(80, 4, 425, 20));
    EXPECT_TRUE(ui.etSearchKey->text().isEmpty());
    struct Button {
        QToolButton* button;
        const char* text;
        QRect place;
        bool enabled, checkable;
    } buttons[] = {
        {ui.btnSearch, "搜索", {8, 31, 67, 22}, true, false},
        {ui.btnPause, "暂停", {80, 31, 67, 22}, false, true},
        {ui.btnStop, "停止", {152, 31, 67, 22}, false, false},
        {ui.SpeedButton1, "关闭", {439, 31, 63, 22}, true, false},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.text);
        EXPECT_EQ(b.button->text(), QString::fromUtf8(b.text));
        // The designed size is the least a button has; its text may need more.
        EXPECT_EQ(b.button->geometry(),
                  QRect(b.place.topLeft(), b.place.size().expandedTo(b.button->sizeHint())));
        EXPECT_EQ(b.button->isEnabled(), b.enabled);
        EXPECT_EQ(b.button->isCheckable(), b.checkable);
        EXPECT_FALSE(b.button->isChecked());
        EXPECT_TRUE(b.button->autoRaise()); // flat
    }
    // Glyphs with a greyed image of their own for the disabled state.
    for (QToolButton* b : {ui.btnSearch, ui.btnPause, ui.btnStop}) {
        QIcon icon = b->icon();
        ASSERT_FALSE(icon.isNull());
        EXPECT_NE(icon.pixmap(16, QIcon::Disabled).toImage(),
                  icon.pixmap(16, QIcon::Normal).toImage());
    }
    EXPECT_EQ(ui.Bevel1->geometry().topLeft(), QPoint(8, 54));
    EXPECT_EQ(ui.Bevel1->width(), 505);
    EXPECT_EQ(ui.Bevel1->frameShape(), QFrame::HLine);

    // First in tab order: the key field.
    QWidget* first = dlg->nextInFocusChain();
    while (first != dlg.get() && !(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    EXPECT_EQ(first, ui.etSearchKey);

    // At the bottom edge, 19 high or as high as its panels' text needs.
    const int barHeight = std::max(19, ui.BarHint->sizeHint().height());
    EXPECT_EQ(ui.BarHint->geometry(), QRect(0, 389 - barHeight, 521, barHeight));
    EXPECT_EQ(dlg->HintPanel->width(), 200);
    EXPECT_TRUE(Hint().isEmpty());
    EXPECT_TRUE(dlg->NotePanel->text().isEmpty());
}

TEST_F(FrmSearch, ResultListIsAReadOnlyReportWithFiveColumns) {
    MakeSchedule(Stations);
    OpenDialog();
    QTableView* list = ui.lvSearchList;
    EXPECT_EQ(list->geometry(), QRect(8, 65, 505, 297));
    EXPECT_EQ(list->model(), dlg->Results);
    EXPECT_EQ(dlg->Results->rowCount(), 0);
    QHeaderView* header = list->horizontalHeader();
    const char* captions[] = {"电视台", "日期", "星期", "时间", "节目"};
    const int widths[] = {120, 80, 50, 50};
    ASSERT_EQ(dlg->Results->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(dlg->Results->headerData(c, Qt::Horizontal).toString(),
                  QString::fromUtf8(captions[c]));
        if (c < 4) {
            EXPECT_EQ(header->sectionSize(c), widths[c]);
        }
    }
    EXPECT_TRUE(header->stretchLastSection());
    EXPECT_FALSE(header->sectionsClickable());
    EXPECT_FALSE(list->verticalHeader()->isVisible());
    EXPECT_EQ(list->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QPalette palette = list->palette();
    EXPECT_EQ(palette.color(QPalette::Inactive, QPalette::Highlight),
              palette.color(QPalette::Active, QPalette::Highlight));

    // Rows show text only: no icons, no colours, not editable.
    Search(QStringLiteral("新闻"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_GT(dlg->Results->rowCount(), 0);
    QModelIndex cell = dlg->Results->index(0, 0);
    EXPECT_FALSE(cell.data(Qt::DecorationRole).isValid());
    EXPECT_FALSE(cell.data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(cell.data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(dlg->Results->flags(cell) & Qt::ItemIsEditable);
}

TEST_F(FrmSearch, IsCentredOnTheMainWindow) {
    MakeSchedule(Stations);
    QWidget main;
    main.setGeometry(60, 40, 640, 500); // inside the offscreen screen
    main.show();
    TFrmSearch search(&main, schedule.get(), &names, &offsets);
    search.show();
    QPoint offset = search.frameGeometry().center() - main.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
}

TEST_F(FrmSearch, ResultsComeInStationOrderThenLineOrder) {
    MakeSchedule(Stations);
    OpenDialog();
    Search(QStringLiteral("新闻"));
    ASSERT_TRUE(WaitForEnd());
    std::vector<TRowTexts> expected = Expected(Gbk("新闻"), 3);
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_EQ(Shown(), expected);
    // The view decodes the GBK texts.
    auto cell = [&](int row, int column) {
        return dlg->Results->index(row, column).data().toString();
    };
    int first = 0;
    while (Shown()[std::size_t(first)][0] != Gbk("中央一台"))
        ++first;
    EXPECT_EQ(cell(first, 0), QStringLiteral("中央一台"));
    EXPECT_EQ(cell(first, 1), QStringLiteral("2005-03-14"));
    EXPECT_EQ(cell(first, 2), QStringLiteral("星期一"));
    EXPECT_EQ(cell(first, 3), QStringLiteral("08:00"));
    EXPECT_EQ(cell(first, 4), QStringLiteral("新闻联播"));
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
}

// Keys through the whole dialog: what is tested, and how.
TEST_F(FrmSearch, KeysMatchProgrammeLinesAsTyped) {
    MakeSchedule(Stations);
    OpenDialog();
    struct Case {
        const char* name;
        QString key;
        std::size_t rows;
    } cases[] = {
        {"a single colon: every programme line", ":", 8},
        {"a weekday word: only in date lines", "星期", 0},
        {"lower case only", "movie", 1},
        {"upper case only", "Movie", 1},
        {"a blank: every line holding one", " ", 8},
        {"not trimmed", " movie", 1},
        {"absent", "天气预报", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Search(c.key);
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(Shown(), Expected(platform::QStringToGbk(c.key), 3));
        EXPECT_EQ(Shown().size(), c.rows);
        EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    }
}

TEST_F(FrmSearch, MatchAboveTheFirstDateLineHasAnEmptyWeekday) {
    MakeSchedule(Stations);
    OpenDialog();
    Search(QStringLiteral("早间"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0], (TRowTexts{Gbk("中央二台"), "20--", "", "07:00", Gbk("早间新闻")}));
}

TEST_F(FrmSearch, EmptyKeyDoesNothingAtAll) {
    MakeSchedule(Stations);
    OpenDialog();
    Search(QStringLiteral("新闻"));
    ASSERT_TRUE(WaitForEnd());
    std::vector<TRowTexts> before = Shown();
    Search(QString());
    EXPECT_FALSE(dlg->Worker);
    Settle();
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    EXPECT_TRUE(ui.btnSearch->isEnabled());
    EXPECT_FALSE(ui.btnStop->isEnabled());
    EXPECT_FALSE(ui.btnPause->isEnabled());
}

TEST_F(FrmSearch, NoStationsEndsAtOnce) {
    schedule = std::make_unique<TScheduleObject>(dir.file("missing.sch"), TScheduleObject::fmOpen);
    OpenDialog();
    Search(QStringLiteral("新闻"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(dlg->Results->rowCount(), 0);
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    EXPECT_TRUE(dlg->NotePanel->text().isEmpty());
    EXPECT_TRUE(ui.btnSearch->isEnabled());
}

TEST_F(FrmSearch, KeyGbkCannotHoldMatchesNothingNotItsQuestionMark) {
    MakeSchedule(Stations);
    OpenDialog();
    Search(QStringLiteral("午间?")); // the line is there
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(dlg->Results->rowCount(), 1);
    Search(QStringLiteral("午间") + QString::fromUcs4(U"\U0001F600"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(dlg->Results->rowCount(), 0);
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
}

// The record of the second station claims a text longer than the file.
TEST_F(FrmSearch, UnreadableStationEndsTheSearchAndIsNamed) {
    MakeSchedule(Stations);
    std::int32_t damaged = offsets.item(1)->text().toInt();
    schedule.reset();
    std::string file = ReadAll(dir.file("lastsch.sch"));
    const std::int32_t huge = 0x7FFFFFFF;
    std::memcpy(file.data() + damaged + 101, &huge, 4);
    WriteAll(dir.file("lastsch.sch"), file);
    OpenSchedule();
    OpenDialog();
    Search(QStringLiteral(":"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), Expected(":", 1)); // the first station only
    EXPECT_FALSE(gate.Seen(2, TP::spStation));
    EXPECT_EQ(Hint(), QStringLiteral("搜索完毕"));
    EXPECT_EQ(dlg->NotePanel->text(), QStringLiteral("无法读取电视台：") +
                                          platform::GbkToQString(ListName(1)) +
                                          QStringLiteral("，搜索中止"));
    EXPECT_TRUE(ui.btnSearch->isEnabled());
    EXPECT_FALSE(ui.btnStop->isEnabled());
}

TEST_F(FrmSearch, ScheduleWithoutItsFileNamesTheFirstStation) {
    MakeSchedule(Stations);
    schedule = std::make_unique<TScheduleObject>(dir.file("missing.sch"), TScheduleObject::fmOpen);
    OpenDialog();
    Search(QStringLiteral(":"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(dlg->Results->rowCount(), 0);
    EXPECT_TRUE(dlg->NotePanel->text().contains(platform::GbkToQString(ListName(0))));
    // The next search starts without the old note.
    schedule.reset();
    OpenSchedule();
    dlg.reset();
    OpenDialog();
    Search(QStringLiteral(":"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(dlg->NotePanel->text().isEmpty());
}

// More rows than one message carries and than the list is told of at once:
// every row arrives, in order.
TEST_F(FrmSearch, ManyRowsArriveWholeAndInOrder) {
    std::string big = Gbk("05/03/14 星期一\r\n"), small = big;
    for (int i = 0; i < 30000; ++i)
        big += "08:00 " + Gbk("节目") + std::to_string(i) + "\r\n";
    for (int i = 0; i < 3; ++i)
        small += "09:00 " + Gbk("节目") + "x" + std::to_string(i) + "\r\n";
    MakeSchedule({{"big", big}, {"small", small}});
    OpenDialog();
    dlg->RowsPerPublish = 7000; // several steps, some ending inside a message
    Search(QStringLiteral("节目"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), Expected(Gbk("节目"), 2));
    EXPECT_EQ(dlg->Results->rowCount(), 30003);
}

TEST_F(FrmSearch, EveryOpeningStartsAfresh) {
    MakeSchedule(Stations);
    OpenDialog();
    Search(QStringLiteral("新闻"));
    ASSERT_TRUE(WaitForEnd());
    ui.SpeedButton1->click();
    dlg.reset();
    OpenDialog();
    EXPECT_TRUE(ui.etSearchKey->text().isEmpty());
    EXPECT_EQ(dlg->Results->rowCount(), 0);
    EXPECT_TRUE(Hint().isEmpty());
    EXPECT_TRUE(ui.btnSearch->isEnabled());
    EXPECT_FALSE(ui.btnPause->isEnabled());
    EXPECT_FALSE(ui.btnPause->isChecked());
    EXPECT_FALSE(ui.btnStop->isEnabled());
    EXPECT_FALSE(dlg->StopRequested);
}

TEST_F(FrmSearch, CloseButtonGivesResultOneTitleBarAnother) {
    MakeSchedule(Stations);
    OpenDialog();
    ui.SpeedButton1->click();
    EXPECT_EQ(dlg->result(), 1);
    EXPECT_FALSE(dlg->isVisible());
    dlg->show();
    dlg->close();
    EXPECT_NE(dlg->result(), 1);
    EXPECT_FALSE(dlg->isVisible());
}

} // namespace
