// The about box: who made the program, where to write, and its version.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmAbout;
}

class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(QWidget* parent = nullptr);
    ~TFrmAbout() override;

    Ui::TFrmAbout* Controls() const { return ui.get(); }

private:
    std::unique_ptr<Ui::TFrmAbout> ui;
};
