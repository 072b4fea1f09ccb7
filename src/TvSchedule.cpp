// Program entry: the application, its main window and the message loop.
#include <QApplication>

#include "gui/U_FrmMain.h"
#include "gui/U_MainFunGuiLanguage.h"
#include "http/WinInet.h"

int main(int argc, char** argv) {
    platform::InternetInitialize(); // once, before any thread starts
    QApplication app(argc, argv);
    // The name only: a display name would also be appended to every dialog's caption.
    QApplication::setApplicationName("Vimbrel");
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName("org.vimbrel.Vimbrel");
    SpeakChinese(app);
    TFrmMain frmMain;
    frmMain.showMaximized();
    frmMain.FormShow();
    return app.exec();
}
