#include "gui/U_FrmAbout.h"

#include <QGuiApplication>
#include <QScreen>

#include "gui/U_MainFunGuiFit.h"
#include "ui_U_FrmAbout.h"

TFrmAbout::TFrmAbout(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TFrmAbout>()) {
    ui->setupUi(this);
    setFixedSize(418, 239);
    FitToText(this);
    // Centred on the desktop rather than on the window that opened it.
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
    connect(ui->btnOK, &QPushButton::clicked, this, [this] { done(1); });
}

TFrmAbout::~TFrmAbout() = default;
