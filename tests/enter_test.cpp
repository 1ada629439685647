// Enter wherever it acts, through real key events, under the theme the run
// asks for: none offscreen, GNOME's in enter_gnome.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include "frmpresets.h"
#include "frmrunprogram.h"
#include "testenv.h"

namespace {

bool gnomeTheme() { return qEnvironmentVariable("RAVODOR_TEST_THEME") == QLatin1String("gnome"); }

void pressEnter(QWidget* control, Qt::Key key = Qt::Key_Return)
{
    control->activateWindow();
    control->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(control, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

// Else the GNOME run would pass as well on a theme that leaves Enter alone.
TEST(Enter, TheThemeAskedForIsTheOneInEffect)
{
    if (gnomeTheme()) {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "GNOME's theme comes with X11";
    }
    QCheckBox box(QStringLiteral("probe"));
    box.show();
    pressEnter(&box);
    EXPECT_EQ(box.isChecked(), gnomeTheme()) << "GNOME's theme presses buttons with Enter";
}

TEST_F(MainWindowTest, EnterActsTheSameUnderEveryTheme)
{
    const struct {
        const char* window;  // frmMain, frmPresets or frmRunProgram
        const char* control;
        bool acts;  // sets, adds or runs
    } cases[] = {
        {"frmMain", "Text2", true}, {"frmMain", "Check1", true},  // and the option stays off
        {"frmPresets", "cmdAdd", true}, {"frmPresets", "txtPresetDate", false},
        {"frmRunProgram", "txtProgram", true}, {"frmRunProgram", "chkTime", true},  // and it stays off
    };
    for (const auto& c : cases) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            SCOPED_TRACE(std::string(c.control) + (key == Qt::Key_Enter ? " (keypad)" : ""));
            window.reset();
            clock.sets.clear();
            show();
            child<QLineEdit>("Text2")->setText(QStringLiteral("12/12/2001"));
            std::unique_ptr<QWidget> other;
            if (c.window == std::string("frmPresets")) {
                auto* presets = new frmPresets(*window);
                other.reset(presets);
                presets->Form_Load();
                presets->findChild<QLineEdit*>("txtPresetDescription")->setText(QStringLiteral("Y2K"));
                presets->findChild<QLineEdit*>("txtPresetDate")->setText(QStringLiteral("01/01/2000"));
            } else if (c.window == std::string("frmRunProgram")) {
                other = std::make_unique<frmRunProgram>(nullptr, QStringLiteral("15/06/2030"), services.dates);
            }
            QWidget* shown = other ? other.get() : window.get();
            shown->show();
            auto* list = shown->findChild<QListWidget*>(QStringLiteral("List1"));
            const int before = list ? list->count() : 0;
            pressEnter(shown->findChild<QWidget*>(c.control), key);

            bool acted = clock.sets == std::vector<QDate>{QDate(2001, 12, 12)};
            if (list)
                acted = list->count() > before;
            if (auto* said = shown->findChild<QLabel*>(QStringLiteral("lblMessage")))
                acted = !said->text().isEmpty();
            EXPECT_EQ(acted, c.acts);
            for (QCheckBox* option : shown->findChildren<QCheckBox*>())
                EXPECT_FALSE(option->isChecked()) << option->objectName().toStdString();
        }
    }
}

TEST(Enter, InAMessageBoxGivesItsDefaultAnswer)
{
    for (const auto& [style, answer] : {std::pair{MsgStyle::YesNo, AnswerYes}, {MsgStyle::OkCancel, AnswerOk}}) {
        QTimer::singleShot(0, [] { pressEnter(QApplication::activeModalWidget()->focusWidget()); });
        EXPECT_EQ(QtMessageBoxes().MsgBox(QStringLiteral("Sure?"), style, QStringLiteral("Ravodor says:"), {}, 0),
                  answer);
    }
}

}  // namespace
