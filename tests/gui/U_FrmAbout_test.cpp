#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/U_FrmAbout.h"
#include "ui_U_FrmAbout.h"

namespace {

TEST(FrmAboutTest, ShowsTheCreditsAndVersionInRedAndTheStatementInBlue) {
    TFrmAbout about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    Ui::TFrmAbout* ui = about.Controls();
    EXPECT_EQ(about.windowTitle(), "关于Vimbrel");
    EXPECT_EQ(about.size(), QSize(418, 239));
    EXPECT_EQ(about.minimumSize(), about.maximumSize()); // fixed size
    EXPECT_EQ(ui->Panel1->frameShadow(), QFrame::Sunken);

    struct Pair {
        QLabel *caption, *value;
        const char* text;
    };
    for (const Pair& p : std::vector<Pair>{{ui->Label1, ui->Label2, "制 片 人："},
                                           {ui->Label3, ui->Label4, "电子信箱："},
                                           {ui->Label5, ui->Label6, "版    本："}}) {
        EXPECT_EQ(p.caption->text(), p.text);
        EXPECT_FALSE(p.value->text().isEmpty());
        EXPECT_EQ(p.value->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << p.text;
    }
    EXPECT_EQ(ui->Label6->text(), "Beta0.01");
    EXPECT_TRUE(ui->Label4->text().contains('@'));
    EXPECT_TRUE(ui->Label7->text().contains('\n'));
    EXPECT_EQ(ui->Label7->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(ui->btnOK->text(), "确定");
}

TEST(FrmAboutTest, OkClosesTheBoxWithModalResultOne) {
    TFrmAbout about;
    ModalWatcher watcher([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
    });
    EXPECT_EQ(about.exec(), 1);
    EXPECT_FALSE(about.isVisible());
}

} // namespace
