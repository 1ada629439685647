// Right-button presses on Set and Exit open their menus at the pointer; no
// other button does, and a right press never runs Set or Exit. The Menu key
// and Shift+F10 open them from the keyboard.

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "testenv.h"

namespace {

class RightClickTest : public MainWindowTest {
protected:
    // Presses a mouse button on a control (`key` instead, if given); returns
    // the popup that opened, if any, after choosing `choice` in it (or
    // dismissing it).
    QMenu* pressOn(const char* button, Qt::MouseButton mouse, const char* choice = nullptr, QKeyCombination key = {})
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
        auto* target = child<QPushButton>(button);
        if (key.key() != Qt::Key_unknown) {
            target->setFocus();
            QTest::keyClick(target, key.key(), key.keyboardModifiers());
        } else {
            QTest::mousePress(target, mouse, {}, QPoint(5, 5));
            QTest::mouseRelease(target, mouse, {}, QPoint(5, 5));
        }
        QCoreApplication::processEvents();
        return opened;
    }
    QPoint popupAt;
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

TEST_F(RightClickTest, MenuKeyAndShiftF10OpenThePopupUnderTheButtonUnlessItIsDisabled)
{
    const struct {
        const char* button;
        QKeyCombination key;
        const char* menu;
    } ways[] = {
        {"cmdSet", Qt::Key_Menu, "menuQuickset"},
        {"cmdSet", Qt::ShiftModifier | Qt::Key_F10, "menuQuickset"},
        {"cmdExit", Qt::Key_Menu, "menuAutoquit"},
        {"cmdExit", Qt::ShiftModifier | Qt::Key_F10, "menuAutoquit"},
    };
    show();
    for (const auto& w : ways) {
        SCOPED_TRACE(w.button);
        QMenu* menu = pressOn(w.button, Qt::NoButton, nullptr, w.key);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), w.menu);
        // Under the button, unless the screen makes it give way upwards.
        auto* button = child<QPushButton>(w.button);
        const QPoint under = button->mapToGlobal(QPoint(0, button->height()));
        EXPECT_EQ(popupAt.x(), under.x());
        EXPECT_LE(popupAt.y(), under.y());
    }
    EXPECT_EQ(pressOn("cmdSet", Qt::NoButton, nullptr, Qt::Key_F10), nullptr);
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(endCount, 0);

    action("menuAuto5minutes")->trigger();  // Exit is disabled during a countdown
    window->showNormal();
    EXPECT_EQ(pressOn("cmdExit", Qt::NoButton, nullptr, Qt::Key_Menu), nullptr);
}

}  // namespace
