// What a screen reader and a keyboard user meet in each window: the names
// of the controls, what is left out of the tree, and full Tab cycles.

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <memory>

#include "frmabout.h"
#include "frmpresets.h"
#include "frmrunprogram.h"
#include "testenv.h"

namespace {

enum Window { Main, Presets, About, RunProgram };

class AccessibilityTest : public MainWindowTest {
protected:
    // The window shown and active, as the user meets it.
    QWidget* open(Window which)
    {
        if (!window)
            show();
        if (which == Main)
            return window.get();
        if (which == RunProgram)
            owned.reset(new frmRunProgram(window.get(), window->Text2->text(), services.dates));
        else
            owned.reset(which == Presets ? loaded(new frmPresets(*window))
                                         : loaded(new frmabout(services, window.get())));
        owned->show();
        owned->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == owned.get(); }));
        return owned.get();
    }
    template <typename Dialog>
    static QWidget* loaded(Dialog* dialog)
    {
        dialog->Form_Load();
        return dialog;
    }

    // A menu item is reached through its menu, as a screen reader walks it.
    static QAccessibleInterface* accessible(QWidget* in, const char* name)
    {
        QObject* found = in->findChild<QObject*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        auto* item = qobject_cast<QAction*>(found);
        if (!item || item->menu())
            return found ? QAccessible::queryAccessibleInterface(found) : nullptr;
        auto* menu = qobject_cast<QMenu*>(item->parent());
        return QAccessible::queryAccessibleInterface(menu)->child(int(menu->actions().indexOf(item)));
    }

    // Every object name reachable from the window's accessible interface.
    static QStringList tree(QAccessibleInterface* node)
    {
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* child = node->child(i);
            if (child->object())
                names << child->object()->objectName();
            names << tree(child);
        }
        return names;
    }

    // The controls the focus visits from the focused one on, until it is back.
    static QStringList cycle(QWidget* shown, Qt::KeyboardModifiers modifiers)
    {
        QStringList visited;
        QWidget* start = QApplication::focusWidget();
        do {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            EXPECT_EQ(QApplication::focusWidget()->window(), shown);
            visited << QApplication::focusWidget()->objectName();
        } while (QApplication::focusWidget() != start && visited.size() < 20);
        return visited;
    }

    std::unique_ptr<QWidget> owned;
};

TEST_F(AccessibilityTest, EveryInteractiveControlIsNamedAndDescribedByItsTooltipWithoutPadding)
{
    const struct {
        Window window;
        const char* control;
        QAccessible::Role role;
        const char* name;
    } controls[] = {
        {Main, "Text1", QAccessible::EditableText, "Real date"},
        {Main, "Text2", QAccessible::EditableText, "Alter date"},
        {Main, "cmdSet", QAccessible::Button, "Set"},
        {Main, "cmdReset", QAccessible::Button, "Reset to actual date"},
        {Main, "cmdAbout", QAccessible::Button, "About"},
        {Main, "cmdHide", QAccessible::Button, "Hide"},
        {Main, "cmdExit", QAccessible::Button, "Exit"},
        {Main, "Check1", QAccessible::CheckBox, "Change date on startup"},
        {Main, "menuMinus1day", QAccessible::MenuItem, "1 day"},
        {Main, "menuMinus14days", QAccessible::MenuItem, "14 days"},
        {Main, "menuPlus730days", QAccessible::MenuItem, "730 days"},
        {Main, "menuAuto1second", QAccessible::MenuItem, "Auto-quit in 1 second"},
        {Main, "menuAuto10minutes", QAccessible::MenuItem, "Auto-quit in 10 minutes"},
        {Main, "menuPickaPreset", QAccessible::MenuItem, "Pick a preset"},
        {Presets, "List1", QAccessible::List, "Presets"},
        {Presets, "cmdPick", QAccessible::Button, "Pick"},
        {Presets, "cmdRemove", QAccessible::Button, "Remove"},
        {Presets, "txtPresetDescription", QAccessible::EditableText, "Description:"},
        {Presets, "txtPresetDate", QAccessible::EditableText, "Descr.date:"},
        {Presets, "cmdAdd", QAccessible::Button, "Add"},
        {Presets, "cmdDone", QAccessible::Button, "Done!"},
        {About, "imgicon", QAccessible::Graphic, "Ravodor icon"},
        {About, "lblurl", QAccessible::Link, "https://www.example.org/ravodor"},
        {About, "cmdok", QAccessible::Button, "Ok"},
        {Main, "menuRunProgram", QAccessible::MenuItem, "Run a program at this date\u2026"},
        {RunProgram, "txtDate", QAccessible::EditableText, "Date:"},
        {RunProgram, "chkTime", QAccessible::CheckBox, "Time of day:"},
        {RunProgram, "timTime", QAccessible::SpinBox, "Time of day"},
        {RunProgram, "txtProgram", QAccessible::EditableText, "Program:"},
        {RunProgram, "cmdBrowse", QAccessible::Button, "Browse..."},
        {RunProgram, "txtArguments", QAccessible::EditableText, "Arguments:"},
        {RunProgram, "cmdRun", QAccessible::Button, "Run"},
        {RunProgram, "cmdLauncher", QAccessible::Button, "Make a launcher"},
        {RunProgram, "cmdClose", QAccessible::Button, "Close"},
    };
    for (Window which : {Main, Presets, About, RunProgram}) {
        QWidget* shown = open(which);
        for (const auto& c : controls) {
            if (c.window != which)
                continue;
            QAccessibleInterface* control = accessible(shown, c.control);
            ASSERT_NE(control, nullptr) << c.control;
            EXPECT_EQ(control->role(), c.role) << c.control;
            EXPECT_EQ(control->text(QAccessible::Name), c.name) << c.control;
            if (auto* widget = qobject_cast<QWidget*>(control->object())) {
                // Without the blanks that pad the tooltip on screen.
                EXPECT_EQ(control->text(QAccessible::Description), widget->toolTip().simplified()) << c.control;
            }
        }
    }
}

TEST_F(AccessibilityTest, EveryMenuItemIsAlikeForTheKeyboard)
{
    open(Main);
    int items = 0;
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; i < list->childCount(); ++i) {
            auto* item = qobject_cast<QAction*>(list->child(i)->object());
            if (!item || item->isSeparator() || item->menu())
                continue;
            SCOPED_TRACE(item->text().toStdString());
            ++items;
            EXPECT_TRUE(list->child(i)->state().focusable);
            const QString name = list->child(i)->text(QAccessible::Name);
            EXPECT_EQ(name, name.simplified());
            EXPECT_FALSE(name.contains(QLatin1Char('&')));
        }
    }
    EXPECT_GE(items, 10);
}

TEST_F(AccessibilityTest, NeverShownLabelsAreLeftOutAndTheRealDateIsNeverTypedInto)
{
    const QStringList main = tree(QAccessible::queryAccessibleInterface(open(Main)));
    for (const char* hidden : {"lblHIDDENorgdate", "lblHIDDENtoday", "lblHIDDENpreset"})
        EXPECT_FALSE(main.contains(hidden)) << hidden;
    EXPECT_TRUE(main.contains("Text2"));

    auto* real = child<QLineEdit>("Text1");
    const QAccessible::State state = QAccessible::queryAccessibleInterface(real)->state();
    EXPECT_TRUE(state.readOnly);
    EXPECT_FALSE(state.focusable);
    QTest::mouseDClick(real, Qt::LeftButton);
    QTest::mouseClick(real, Qt::LeftButton);
    EXPECT_TRUE(window->Text2->hasFocus());
    EXPECT_FALSE(real->hasSelectedText());

    const QStringList about = tree(QAccessible::queryAccessibleInterface(open(About)));
    for (const char* empty : {"lbltext1", "lbltext2", "Line1", "Line2", "Line3", "Line4", "Line5"})
        EXPECT_FALSE(about.contains(empty)) << empty;
    for (const char* shown : {"imgicon", "lbltext3", "lblurl", "cmdok"})
        EXPECT_TRUE(about.contains(shown)) << shown;
}

TEST_F(AccessibilityTest, TabAndShiftTabVisitEveryEnabledControlOnce)
{
    const struct {
        Window window;
        QStringList forwards;  // from the last on, ending with it
    } cycles[] = {
        {Main, {"cmdSet", "cmdReset", "cmdAbout", "cmdHide", "cmdExit", "Check1", "Text2"}},
        {Presets, {"cmdPick", "cmdRemove", "txtPresetDescription", "txtPresetDate", "cmdAdd", "cmdDone", "List1"}},
        {About, {"lblurl", "cmdok"}},
        // The time of day only once it is wanted.
        {RunProgram,
         {"chkTime", "txtProgram", "cmdBrowse", "txtArguments", "cmdRun", "cmdLauncher", "cmdClose", "txtDate"}},
    };
    for (const auto& c : cycles) {
        SCOPED_TRACE(c.forwards.last().toStdString());
        QWidget* shown = open(c.window);
        if (c.window == Main) {
            window->Text2->setText("12/12/2001");
            window->cmdSet_Click();  // Reset enabled too
        }
        shown->findChild<QWidget*>(c.forwards.last())->setFocus();
        EXPECT_EQ(cycle(shown, Qt::NoModifier).join(' ').toStdString(), c.forwards.join(' ').toStdString());
        QStringList backwards(c.forwards.rbegin() + 1, c.forwards.rend());
        backwards << c.forwards.last();
        EXPECT_EQ(cycle(shown, Qt::ShiftModifier).join(' ').toStdString(), backwards.join(' ').toStdString());
    }
}

}  // namespace
