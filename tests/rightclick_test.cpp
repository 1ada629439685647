// Right-button presses on Set and Exit open their menus at the pointer; no
// other button does, and a right press never runs Set or Exit. The Menu key
// and Shift+F10 open them from the keyboard.

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "testenv.h"

namespace {

class RightClickTestBase : public MainWindowTest {
protected:
    // Runs `act`; returns the popup it opened, if any, after choosing
    // `choice` in it (or dismissing it).
    QMenu* popupOf(const std::function<void()>& act, const char* choice = nullptr)
    {
        QMenu* opened = nullptr;
        QTimer::singleShot(0, [&] {
            opened = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!opened)
                return;
            popupAt = opened->pos();
            if (choice)
                opened->findChild<QAction*>(choice) ? opened->findChild<QAction*>(choice)->trigger()
                                                    : window->findChild<QAction*>(choice)->trigger();
            opened->close();
        });
        act();
        QCoreApplication::processEvents();
        return opened;
    }
    QMenu* keyOn(QPushButton* button, Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        button->setFocus();
        return popupOf([&] { QTest::keyClick(button, key, modifiers); });
    }
    QPoint popupAt;
};

class RightClickTest : public RightClickTestBase {
protected:
    // Presses a mouse button on a control.
    QMenu* pressOn(const char* button, Qt::MouseButton mouse, const char* choice = nullptr)
    {
        auto* target = child<QPushButton>(button);
        return popupOf(
            [&] {
                QTest::mousePress(target, mouse, {}, QPoint(5, 5));
                QTest::mouseRelease(target, mouse, {}, QPoint(5, 5));
            },
            choice);
    }
};

TEST_F(RightClickTest, RightOnSetOpensQuicksetAtThePointerWithoutSetting)
{
    show();
    QMenu* menu = pressOn("cmdSet", Qt::RightButton);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "menuQuickset");
    EXPECT_EQ(popupAt, child<QPushButton>("cmdSet")->mapToGlobal(QPoint(5, 5)));
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RightClickTest, AChoiceInTheQuicksetPopupShiftsAndSets)
{
    show();
    window->Text2->setText("20/01/2004");
    pressOn("cmdSet", Qt::RightButton, "menuPlus30days");
    EXPECT_EQ(window->Text2->text(), "19/02/2004");
    ASSERT_EQ(clock.sets.size(), 1u);
    EXPECT_EQ(clock.sets[0], QDate(2004, 2, 19));
}

TEST_F(RightClickTest, RightOnExitOpensAutoquitWithoutEnding)
{
    show();
    QMenu* menu = pressOn("cmdExit", Qt::RightButton);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "menuAutoquit");
    EXPECT_EQ(endCount, 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(RightClickTest, LeftOnExitEndsAndMiddleDoesNothing)
{
    show();
    EXPECT_EQ(pressOn("cmdSet", Qt::MiddleButton), nullptr);
    EXPECT_EQ(pressOn("cmdExit", Qt::MiddleButton), nullptr);
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(endCount, 0);

    EXPECT_EQ(pressOn("cmdSet", Qt::LeftButton), nullptr);
    EXPECT_EQ(dialogs.texts(), QStringList{"Nothing changed ..."});
    EXPECT_EQ(pressOn("cmdExit", Qt::LeftButton), nullptr);
    EXPECT_EQ(endCount, 1);
}

TEST_F(RightClickTest, DuringACountdownExitOpensNothingButTheMenuBarStillWorks)
{
    show();
    action("menuAuto5minutes")->trigger();
    window->showNormal();
    EXPECT_EQ(pressOn("cmdExit", Qt::RightButton), nullptr);
    action("menuAuto2seconds")->trigger();  // the menu bar's item
    EXPECT_EQ(window->intCountdown, 2);
}

}  // namespace

namespace {

class KeyboardPopupTest : public RightClickTestBase {};

TEST_F(KeyboardPopupTest, MenuKeyAndShiftF10OpenThePopupUnderTheButton)
{
    struct Way {
        const char* button;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* menu;
    };
    const Way ways[] = {
        {"cmdSet", Qt::Key_Menu, Qt::NoModifier, "menuQuickset"},
        {"cmdSet", Qt::Key_F10, Qt::ShiftModifier, "menuQuickset"},
        {"cmdExit", Qt::Key_Menu, Qt::NoModifier, "menuAutoquit"},
        {"cmdExit", Qt::Key_F10, Qt::ShiftModifier, "menuAutoquit"},
    };
    show();
    for (const Way& w : ways) {
        SCOPED_TRACE(w.button);
        auto* button = child<QPushButton>(w.button);
        QMenu* menu = keyOn(button, w.key, w.modifiers);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), w.menu);
        // Under the button, unless the screen makes it give way upwards.
        const QPoint under = button->mapToGlobal(QPoint(0, button->height()));
        EXPECT_EQ(popupAt.x(), under.x());
        EXPECT_LE(popupAt.y(), under.y());
    }
    EXPECT_EQ(keyOn(child<QPushButton>("cmdSet"), Qt::Key_F10, Qt::NoModifier), nullptr);
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(endCount, 0);
}

TEST_F(KeyboardPopupTest, ADisabledExitOpensNothing)
{
    show();
    action("menuAuto5minutes")->trigger();
    window->showNormal();
    auto* exit = child<QPushButton>("cmdExit");
    EXPECT_EQ(keyOn(exit, Qt::Key_Menu, Qt::NoModifier), nullptr);
}

}  // namespace
