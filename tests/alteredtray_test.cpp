// The tray icon that shows a date other than the real one in effect: when it
// is there, what it says, and what its menu does.

#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <functional>

#include "testenv.h"

namespace {

class AlteredTrayTest : public MainWindowTest {
protected:
    AlteredTrayTest() { services.trayAvailable = [this] { return trayThere; }; }

    QSystemTrayIcon* icon() const { return window->findChild<QSystemTrayIcon*>(); }
    bool shown() const { return icon() && icon()->isVisible(); }
    QAction* item(const QString& text) const
    {
        for (QAction* action : icon()->contextMenu()->actions())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    void set(const QString& date)
    {
        window->Text2->setText(date);
        child<QPushButton>("cmdSet")->click();
    }

    bool trayThere = true;
};

TEST_F(AlteredTrayTest, EveryRoadToAnAlteredDateShowsTheIconNamingBothDates)
{
    const std::function<void()> roads[] = {
        [this] {
            show();
            set("12/12/2001");
        },
        [this] {
            show();
            window->Text2->setText("13/12/2001");
            action("menuMinus1day")->trigger();
        },
        [this] {
            putSetting("", "StartAltered", "1");
            setRecent(1, "12/12/2001");
            show();
        },
    };
    for (const auto& road : roads) {
        road();
        ASSERT_TRUE(shown());
        EXPECT_EQ(icon()->toolTip(), "Ravodor\nDate in effect: 12/12/2001\nReal date: 10/01/2004");
        QStringList items;
        for (QAction* action : icon()->contextMenu()->actions())
            items << action->text();
        EXPECT_EQ(items, (QStringList{"Reset to actual date", "Show", "Exit"}));
        // The next road starts afresh on the real date.
        window.reset();
        putSetting("", "StartAltered", "0");
        ASSERT_FALSE(clock.setDate({2004, 1, 10}));
    }
}

TEST_F(AlteredTrayTest, TheIconGoesWhenTheRealDateIsBack)
{
    show();
    EXPECT_FALSE(shown());
    set("12/12/2001");
    ASSERT_TRUE(shown());
    set("10/01/2004");  // the real date, set by hand
    EXPECT_FALSE(shown());

    set("12/12/2001");
    item("Reset to actual date")->trigger();
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_EQ(dialogs.texts().last(), "Date restored to:  10/01/2004");
    EXPECT_FALSE(shown());
}

TEST_F(AlteredTrayTest, ShowBringsTheHiddenWindowBackAndExitEnds)
{
    show();
    set("12/12/2001");
    child<QPushButton>("cmdHide")->click();
    ASSERT_TRUE(window->isMinimized());
    ASSERT_TRUE(shown());
    item("Show")->trigger();
    EXPECT_FALSE(window->isMinimized());

    item("Exit")->trigger();
    EXPECT_EQ(endCount, 1);
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
}

TEST_F(AlteredTrayTest, WithoutATrayNothingShows)
{
    trayThere = false;
    show();
    set("12/12/2001");
    EXPECT_EQ(icon(), nullptr);
}

}  // namespace
