// Qt's own texts in Chinese, like the program's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "gui/U_MainFunGuiLanguage.h"

namespace {

// A message box's button reads 确定 once Qt's Chinese translations are in.
TEST(QtInChinese, AMessageBoxSaysQueDing) {
    QTranslator* translator = SpeakChinese(*qApp);
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
    QMessageBox box(QMessageBox::NoIcon, "提示", "text", QMessageBox::Ok);
    const QString text = box.button(QMessageBox::Ok)->text();
    QApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(text, "确定");
}

} // namespace
