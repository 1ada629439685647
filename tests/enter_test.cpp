// Enter in every place where it acts, through real key events, under the
// platform theme the environment names (a second run has GNOME's).

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "frmpresets.h"
#include "frmrunprogram.h"
#include "testenv.h"

namespace {

class EnterTest : public MainWindowTest {
protected:
    template <typename T>
    T* in(QWidget* window, const char* name)
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    frmPresets& presetsWindow()
    {
        show();
        presets = std::make_unique<frmPresets>(*window);
        presets->Form_Load();
        presets->show();
        return *presets;
    }
    frmRunProgram& runDialog()
    {
        run = std::make_unique<frmRunProgram>(nullptr, QStringLiteral("15/06/2030"), services.dates);
        run->show();
        return *run;
    }
    bool presetAdded()
    {
        auto* list = in<QListWidget>(presets.get(), "List1");
        for (int i = 0; i < list->count(); ++i) {
            if (frmPresets::entry(list->item(i)).startsWith(QLatin1String("Y2K")))
                return true;
        }
        return false;
    }
    std::unique_ptr<frmPresets> presets;
    std::unique_ptr<frmRunProgram> run;
};

// Set by the run that asks for GNOME's theme (not by a desktop's terminal).
bool gnomeTheme()
{
    return qEnvironmentVariable("RAVODOR_TEST_THEME") == QLatin1String("gnome");
}

void pressEnter(QWidget* control, Qt::Key key)
{
    control->activateWindow();
    control->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(control, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

// Without this the GNOME run would pass just as well on a theme that
// leaves Enter to the window.
TEST_F(EnterTest, TheThemeTheEnvironmentNamesIsTheOneInEffect)
{
    if (gnomeTheme()) {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "GNOME's theme comes with X11";
    }
    QCheckBox box(QStringLiteral("probe"));
    box.show();
    pressEnter(&box, Qt::Key_Return);
    EXPECT_EQ(box.isChecked(), gnomeTheme()) << "GNOME's theme presses buttons with Enter";
}

TEST_F(EnterTest, EnterActsTheSameWhereverTheDesignMakesItAct)
{
    struct Place {
        const char* what;
        std::function<QWidget*()> focus;  // opens the window, gives the control
        std::function<bool()> acted;
    };
    const Place places[] = {
        {"the date box sets the date, once",
            [this] {
                show();
                child<QLineEdit>("Text2")->setText(QStringLiteral("12/12/2001"));
                return child<QWidget>("Text2");
            },
            [this] { return clock.sets == std::vector<QDate>{QDate(2001, 12, 12)}; }},
        {"the start-up option presses Set and stays as it was",
            [this] {
                show();
                child<QLineEdit>("Text2")->setText(QStringLiteral("12/12/2001"));
                return child<QWidget>("Check1");
            },
            [this] { return clock.sets.size() == 1 && !child<QCheckBox>("Check1")->isChecked(); }},
        {"a focused Add adds in the presets window",
            [this] {
                frmPresets& p = presetsWindow();
                in<QLineEdit>(&p, "txtPresetDescription")->setText(QStringLiteral("Y2K"));
                in<QLineEdit>(&p, "txtPresetDate")->setText(QStringLiteral("01/01/2000"));
                return in<QWidget>(&p, "cmdAdd");
            },
            [this] { return presetAdded(); }},
        {"the presets' date box adds nothing",
            [this] {
                frmPresets& p = presetsWindow();
                in<QLineEdit>(&p, "txtPresetDescription")->setText(QStringLiteral("Y2K"));
                in<QLineEdit>(&p, "txtPresetDate")->setText(QStringLiteral("01/01/2000"));
                return in<QWidget>(&p, "txtPresetDate");
            },
            [this] {
                return !presetAdded() && presets->isVisible();
            }},
        {"the run dialog's program box runs",
            [this] { return in<QWidget>(&runDialog(), "txtProgram"); },
            [this] { return !in<QLabel>(run.get(), "lblMessage")->text().isEmpty(); }},
        {"the run dialog's time-of-day option runs and stays as it was",
            [this] { return in<QWidget>(&runDialog(), "chkTime"); },
            [this] {
                return !in<QLabel>(run.get(), "lblMessage")->text().isEmpty()
                       && !in<QCheckBox>(run.get(), "chkTime")->isChecked();
            }},
    };
    for (const Place& place : places) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            run.reset();
            presets.reset();
            window.reset();
            clock.sets.clear();
            QWidget* control = place.focus();
            pressEnter(control, key);
            EXPECT_TRUE(place.acted()) << place.what << (key == Qt::Key_Enter ? " (keypad)" : "");
        }
    }
}

TEST_F(EnterTest, EnterInAMessageBoxGivesItsDefaultAnswer)
{
    struct Row {
        int style;
        int answer;
    };
    for (const Row row : {Row{MsgStyle::YesNo, AnswerYes}, Row{MsgStyle::OkCancel, AnswerOk}}) {
        QTimer::singleShot(0, [] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            pressEnter(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
        });
        QtMessageBoxes boxes;
        EXPECT_EQ(boxes.MsgBox(QStringLiteral("Sure?"), row.style, QStringLiteral("Ravodor says:"), {}, 0), row.answer);
    }
}

}  // namespace
