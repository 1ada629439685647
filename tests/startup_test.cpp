// The main window at start-up: what it shows, what it reads from the
// settings store, and where the focus goes.

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "firstframe.h"
#include "testenv.h"

namespace {

class StartupTest : public MainWindowTest {};

TEST_F(StartupTest, FirstRunShowsTodayAndCreatesTheSettingsKey)
{
    load();
    EXPECT_TRUE(QDir(folders.configHome() + "/Zaduziro/ravodor").exists());
    EXPECT_EQ(text("Text1"), "10/01/2004");
    EXPECT_EQ(text("Text2"), "10/01/2004");
    EXPECT_EQ(text("lblHIDDENorgdate"), "10/01/2004");
    EXPECT_EQ(text("lblHIDDENtoday"), "10/01/2004");
    EXPECT_EQ(text("lblHIDDENpreset"), "lblHIDDENpreset");
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_FALSE(child<QPushButton>("cmdReset")->isEnabled());

    const QList<QAction*> recent = child<QMenu>("menuRecent")->actions();
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent[0]->text(), "Empty");
    EXPECT_FALSE(recent[0]->isEnabled());

    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(clock.attempts, 0);
}

TEST_F(StartupTest, OptionOffShowsTheNewestDateButSetsNothing)
{
    putSetting("", "StartAltered", "0");
    setRecent(1, "12/12/2001");
    setRecent(2, "01/01/2003");
    load();
    EXPECT_EQ(text("Text2"), "12/12/2001");
    EXPECT_EQ(text("Text1"), "10/01/2004");
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_FALSE(child<QPushButton>("cmdReset")->isEnabled());
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartupTest, OptionOnWithTheNewestDateEqualToTodaySetsNothingButOffersReset)
{
    putSetting("", "StartAltered", "1");
    setRecent(1, "10-1-04");  // the same day, typed differently
    load();
    EXPECT_TRUE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_TRUE(child<QPushButton>("cmdReset")->isEnabled());
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartupTest, OptionValuesThatAreNotSmallIntegersCountAsOff)
{
    for (const char* value : {"", "abc", "99999", "1.5", "1x"}) {
        putSetting("", "StartAltered", value);
        setRecent(1, "12/12/2001");
        load();
        EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked()) << value;
        EXPECT_EQ(clock.attempts, 0) << value;
    }
    for (const char* value : {"1", " 1 ", "-1", "2"}) {
        putSetting("", "StartAltered", value);
        setRecent(1, "10/01/2004");
        load();
        EXPECT_TRUE(child<QCheckBox>("Check1")->isChecked()) << value;
    }
}

TEST_F(StartupTest, TheRealDateBoxHandsTheFocusToTheDateBox)
{
    show();
    QTest::mouseClick(child<QLineEdit>("Text1"), Qt::LeftButton);
    EXPECT_TRUE(child<QLineEdit>("Text2")->hasFocus());
}

TEST_F(StartupTest, ActivationSelectsTheWholeDateBox)
{
    show();
    auto* box = child<QLineEdit>("Text2");
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->selectedText(), "10/01/2004");

    box->deselect();
    child<QPushButton>("cmdHide")->setFocus();
    window->Form_Activate();  // as when the presets or About window closes
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->selectedText(), "10/01/2004");
}

TEST_F(StartupTest, SelectingWithTheFocusOnAButtonChangesNothing)
{
    show();
    auto* box = child<QLineEdit>("Text2");
    box->deselect();
    child<QPushButton>("cmdAbout")->setFocus();
    window->SetSelected();
    EXPECT_FALSE(box->hasSelectedText());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(StartupTest, EveryChangeOfTheDateBoxClearsThePresetMarker)
{
    show();
    window->lblHIDDENpreset->setText("Birthday = 12/12/2001");
    QTest::keyClick(child<QLineEdit>("Text2"), Qt::Key_1);
    EXPECT_EQ(text("lblHIDDENpreset"), "lblHIDDENpreset");

    window->lblHIDDENpreset->setText("Birthday = 12/12/2001");
    window->Text2->setText("12/12/2001");
    EXPECT_EQ(text("lblHIDDENpreset"), "lblHIDDENpreset");
}

TEST_F(StartupTest, HideMinimisesAndChangesNothingElse)
{
    show();
    QTest::mouseClick(child<QPushButton>("cmdHide"), Qt::LeftButton);
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(text("Text2"), "10/01/2004");
    EXPECT_EQ(clock.attempts, 0);
}

TEST_F(StartupTest, ControlsSitWhereTheLayoutPutsThemInTabOrder)
{
    show();
    struct Place {
        const char* name;
        int left, top, width, height;
    };
    // Twips at 15 to a pixel, as drawn for a 96 dpi screen.
    const Place places[] = {
        {"Frame1", 90, 0, 3660, 1860},      {"Label2", 210, 300, 840, 225},    {"Label1", 210, 645, 840, 210},
        {"Text1", 1035, 270, 1320, 285},    {"Text2", 1035, 615, 1320, 285},   {"cmdSet", 2430, 615, 1035, 315},
        {"cmdReset", 210, 1020, 3255, 315}, {"cmdAbout", 210, 1380, 1035, 315}, {"cmdHide", 1320, 1380, 1035, 315},
        {"cmdExit", 2430, 1380, 1035, 315}, {"Check1", 300, 1980, 3195, 225},
    };
    const double scale = window->logicalDpiX() / 96.0 / 15.0;
    for (const Place& p : places) {
        const QWidget* w = child<QWidget>(p.name);
        EXPECT_EQ(w->geometry(), QRect(qRound(p.left * scale), qRound(p.top * scale), qRound(p.width * scale),
                                       qRound(p.height * scale)))
            << p.name;
    }
    EXPECT_EQ(window->centralWidget()->size(), QSize(qRound(3855 * scale), qRound(2355 * scale)));
    for (const char* hidden : {"lblHIDDENorgdate", "lblHIDDENtoday", "lblHIDDENpreset"})
        EXPECT_FALSE(child<QLabel>(hidden)->isVisible()) << hidden;

    const char* tabOrder[] = {"Text2", "cmdSet", "cmdReset", "cmdAbout", "cmdHide", "cmdExit", "Check1"};
    QWidget* w = child<QWidget>(tabOrder[0]);
    for (const char* next : tabOrder) {
        EXPECT_EQ(w->objectName(), next);
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
    }
}

TEST_F(StartupTest, EnterInTheDateBoxPressesSet)
{
    show();
    auto* box = child<QLineEdit>("Text2");
    box->setText("12/12/2001");
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(clock.sets.size(), 1u);
    EXPECT_EQ(clock.sets[0], QDate(2001, 12, 12));
}

TEST_F(StartupTest, WhatWaitsForTheFirstFrameRunsOnceAfterItNotBefore)
{
    frmMain& shown = load();
    int runs = 0;
    afterFirstFrame(&shown, [&] { ++runs; });
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0) << "not while the window is unseen";
    shown.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs > 0; }));
    shown.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

}  // namespace
