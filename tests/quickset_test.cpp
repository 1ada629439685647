// Quickset: every item shifts the date box by its days and sets the result.

#include <QLineEdit>
#include <QMenu>

#include "testenv.h"

namespace {

class QuicksetTest : public MainWindowTest {};

struct Item {
    const char* name;
    const char* caption;
    int days;
};

// The menu as the design draws it, in display order.
const Item kMinus[] = {
    {"menuMinus1day", "    1 day", -1},      {"menuMinus14days", "  14 days ", -14},
    {"menuMinus21days", "  21 days", -21},   {"menuMinus30days", "  30 days", -30},
    {"menuMinus60days", "  60 days", -60},   {"menuMinus90days", "  90 days", -90},
    {"menuMinus120days", "120 days", -120},  {"menuMinus150days", "150 days", -150},
    {"menuMinus180days", "180 days", -180},  {"menuMinus365days", "365 days", -365},
    {"menuMinus730days", "730 days", -730},
};
const Item kPlus[] = {
    {"menuPlus1day", "    1 day", 1},      {"menuPlus14days", "  14 days", 14},
    {"menuPlus21days", "  21 days", 21},   {"menuPlus30days", "  30 days", 30},
    {"menuPlus60days", "  60 days", 60},   {"menuPlus90days", "  90 days", 90},
    {"menuPlus120days", "120 days", 120},  {"menuPlus150days", "150 days", 150},
    {"menuPlus180days", "180 days", 180},  {"menuPlus365days", "365 days", 365},
    {"menuPlus730days", "730 days", 730},
};

TEST_F(QuicksetTest, TheMenuHoldsTheShiftsInOrder)
{
    load();
    auto* quickset = child<QMenu>("menuQuickset");
    EXPECT_EQ(quickset->title(), "&Quickset");
    const QList<QAction*> top = quickset->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), "Minus");
    EXPECT_TRUE(top[1]->isSeparator());
    EXPECT_EQ(top[1]->objectName(), "menuSeperator1");
    EXPECT_EQ(top[2]->text(), "Plus");

    for (const auto& [submenu, items] : {std::pair{top[0]->menu(), kMinus}, std::pair{top[2]->menu(), kPlus}}) {
        const QList<QAction*> actions = submenu->actions();
        ASSERT_EQ(actions.size(), 11);
        for (int i = 0; i < 11; ++i) {
            EXPECT_EQ(actions[i]->objectName(), items[i].name);
            EXPECT_EQ(actions[i]->text(), items[i].caption) << items[i].name;
            EXPECT_TRUE(actions[i]->isEnabled());
            EXPECT_FALSE(actions[i]->isCheckable());
            EXPECT_TRUE(actions[i]->shortcut().isEmpty());
        }
    }
}

TEST_F(QuicksetTest, EachItemShiftsTheDateBoxByItsDaysAndSetsIt)
{
    load();
    const QDate start(2004, 1, 20);  // not the real date, so the shift is counted from the box
    for (const auto* items : {kMinus, kPlus}) {
        for (int i = 0; i < 11; ++i) {
            window->Text2->setText(start.toString("dd/MM/yyyy"));
            clock.sets.clear();
            dialogs.clear();
            action(items[i].name)->trigger();
            const QDate expected = start.addDays(items[i].days);
            EXPECT_EQ(window->Text2->text(), expected.toString("dd/MM/yyyy")) << items[i].name;
            ASSERT_EQ(clock.sets.size(), 1u) << items[i].name;
            EXPECT_EQ(clock.sets[0], expected);
            EXPECT_EQ(dialogs.texts(), QStringList{"Date is now:  " + expected.toString("dd/MM/yyyy")});
        }
    }
}

TEST_F(QuicksetTest, ShiftsCrossTheLeapDayBothWays)
{
    load();
    window->Text2->setText("01/03/2003");
    action("menuPlus365days")->trigger();
    EXPECT_EQ(window->Text2->text(), "29/02/2004");
    window->Text2->setText("01/03/2004");
    action("menuMinus1day")->trigger();
    EXPECT_EQ(window->Text2->text(), "29/02/2004");
    window->Text2->setText("12/12/2001");
    action("menuPlus730days")->trigger();
    EXPECT_EQ(window->Text2->text(), "12/12/2003");
    EXPECT_EQ(clock.sets.back(), QDate(2003, 12, 12));
}

TEST_F(QuicksetTest, AnUnusableDateChangesNothingAndGetsTheSetMessage)
{
    show();
    const struct {
        const char* text;
        const char* item;
        const char* message;
    } cases[] = {
        {"", "menuPlus1day", "Please enter a date ..."},
        {"soon", "menuMinus30days", "That date is not in an acceptable format!"},
        {"30/12/9999", "menuPlus14days", "That date is not in an acceptable format!"},
        {"05/01/0100", "menuMinus730days", "That date is not in an acceptable format!"},
    };
    for (const auto& c : cases) {
        window->Text2->setText(c.text);
        dialogs.clear();
        action(c.item)->trigger();
        EXPECT_EQ(window->Text2->text(), c.text);
        EXPECT_EQ(dialogs.texts(), QStringList{c.message}) << c.text;
        EXPECT_TRUE(window->Text2->hasFocus());
        EXPECT_EQ(window->Text2->selectedText(), c.text);
    }
    EXPECT_EQ(clock.attempts, 0);
}

}  // namespace
