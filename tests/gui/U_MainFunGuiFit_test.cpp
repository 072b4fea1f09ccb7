// Every form shows the whole text of its captions, labels and buttons at the
// fonts it gets here and at any scale: CTest runs this file once more with
// QT_SCALE_FACTOR=2. Designed places and sizes stay; a control grows right and
// down, and a bar of a designed height grows, only as far as its size hint asks.
#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabBar>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/U_FrmAbout.h"
#include "gui/U_FrmMain.h"
#include "gui/U_FrmSearch.h"
#include "gui/U_FrmUpdate.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "ui_U_FrmAbout.h"
#include "ui_U_FrmMain.h"
#include "ui_U_FrmSearch.h"
#include "ui_U_FrmUpdate.h"

namespace {

bool IsTextControl(QWidget* w) {
    return qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
           qobject_cast<QGroupBox*>(w) || qobject_cast<QTabBar*>(w) ||
           qobject_cast<QHeaderView*>(w) || qobject_cast<QMenuBar*>(w);
}

bool InLayout(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    return parent && parent->layout() && parent->layout()->indexOf(w) >= 0;
}

// What a control needs to show its whole text.
QSize Need(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap())
        return {label->minimumSizeHint().width(), label->heightForWidth(label->width())};
    if (qobject_cast<QGroupBox*>(w)) return w->minimumSizeHint();
    return w->sizeHint();
}

QString Id(QWidget* w) {
    if (!w->objectName().isEmpty()) return w->objectName();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return w->metaObject()->className();
}

// A form as the program makes it, and one made from its design alone.
template <class TUi, class TForm> std::unique_ptr<QWidget> Designed() {
    auto form = std::make_unique<TForm>();
    TUi ui;
    ui.setupUi(form.get());
    return form;
}

struct TFormCase {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make, design;
    std::vector<const char*> controls; // among the controls checked, by name or text
};

std::vector<TFormCase> Forms() {
    return {
        {"main window",
         [] { return std::make_unique<TFrmMain>(); },
         Designed<Ui::TFrmMain, QMainWindow>,
         {"TBXToolbar1", "更新节目表", "查找节目", "HeaderControl1", "Panel4", "TabSet1"}},
        {"update dialog",
         [] { return std::make_unique<TFrmUpdate>(); },
         Designed<Ui::TFRMUPDATE, QDialog>,
         {"GroupBox1", "rbNoProxy", "rbIeProxy", "lbHint", "btnUpdate", "btnCancel", "btnClose"}},
        {"search dialog",
         [] { return std::make_unique<TFrmSearch>(nullptr, nullptr, nullptr, nullptr); },
         Designed<Ui::TFrmSearch, QDialog>,
         {"Label1", "btnSearch", "btnPause", "btnStop", "SpeedButton1", "HintPanel", "NotePanel"}},
        {"about box",
         [] { return std::make_unique<TFrmAbout>(); },
         Designed<Ui::TFrmAbout, QDialog>,
         {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "btnOK"}},
    };
}

class FormTexts : public GuiTest {
protected:
    void SetUp() override {
        // The update dialog reads the proxy settings when it opens.
        platform::TRegistry reg;
        ASSERT_TRUE(
            reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", true));
        reg.WriteInteger("ProxyEnable", 0);
        reg.WriteString("ProxyServer", "");
    }

    TempDir config;
    ScopedConfigHome configHome{config.path()};
};

TEST_F(FormTexts, EveryCaptionLabelAndButtonShowsItsWholeText) {
    for (const TFormCase& c : Forms()) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> form = c.make(), design = c.design();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        SCOPED_TRACE("device pixel ratio " + std::to_string(form->devicePixelRatioF()));
        QStringList checked;
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (!IsTextControl(control) || !control->isVisibleTo(form.get())) continue;
            const QString id = Id(control);
            const QSize need = Need(control);
            EXPECT_GE(control->width(), need.width()) << id.toStdString();
            EXPECT_GE(control->height(), need.height()) << id.toStdString();
            checked << id;
            // A control placed by position keeps its place, and its designed
            // size as the least it has.
            auto* designed = design->findChild<QWidget*>(control->objectName());
            if (control->objectName().isEmpty() || !designed || InLayout(control)) continue;
            EXPECT_EQ(control->geometry(),
                      QRect(designed->pos(), designed->size().expandedTo(need)))
                << id.toStdString();
        }
        for (const char* id : c.controls)
            EXPECT_TRUE(checked.contains(QString::fromUtf8(id))) << id;
        // A bar the design gives a fixed height keeps it, and grows only as far as
        // a control in it needs: one then has no room to spare.
        for (QWidget* designed : design->findChildren<QWidget*>()) {
            auto* bar = form->findChild<QWidget*>(designed->objectName());
            if (designed->objectName().isEmpty() || !bar ||
                designed->minimumHeight() != designed->maximumHeight())
                continue;
            EXPECT_GE(bar->height(), designed->minimumHeight()) << Id(bar).toStdString();
            if (bar->height() == designed->minimumHeight()) continue;
            QList<QWidget*> inside = bar->findChildren<QWidget*>();
            inside << bar;
            EXPECT_TRUE(std::any_of(inside.begin(), inside.end(),
                                    [&](QWidget* w) {
                                        return IsTextControl(w) && w->isVisibleTo(form.get()) &&
                                               w->height() == Need(w).height();
                                    }))
                << Id(bar).toStdString() << " grew to " << bar->height();
        }
    }
}

TEST_F(FormTexts, ControlsPlacedByPositionStayInsideTheirParentAndApart) {
    for (const TFormCase& c : Forms()) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> form = c.make(), design = c.design();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // The controls the design places by position, as the form shows them.
        std::vector<QWidget*> placed;
        for (QWidget* w : design->findChildren<QWidget*>()) {
            auto* shown = form->findChild<QWidget*>(w->objectName());
            if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_") && !InLayout(w) &&
                shown && shown->isVisibleTo(form.get()))
                placed.push_back(shown);
        }
        for (std::size_t i = 0; i < placed.size(); ++i) {
            EXPECT_TRUE(placed[i]->parentWidget()->rect().contains(placed[i]->geometry()))
                << Id(placed[i]).toStdString();
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                QWidget *a = placed[i], *b = placed[j];
                if (a->parentWidget() != b->parentWidget()) continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << Id(a).toStdString() << " and " << Id(b).toStdString();
            }
        }
    }
}

} // namespace
