// The tray icon that shows a date other than the real one in effect: when it
// is there, what it says, and what its menu does.

#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <functional>

#include "alteredtray.h"
#include "testenv.h"

namespace {

class AlteredTrayTest : public MainWindowTest {
protected:
    AlteredTrayTest() { services.trayAvailable = [] { return true; }; }

    QSystemTrayIcon* icon() const { return window->findChild<QSystemTrayIcon*>(); }
    bool shown() const { return icon() && icon()->isVisible(); }
    // 0: Reset to actual date, 1: Show, 2: Exit.
    void choose(int item) const { icon()->contextMenu()->actions().at(item)->trigger(); }
    void set(const QString& date)
    {
        window->Text2->setText(date);
        child<QPushButton>("cmdSet")->click();
    }
};

TEST_F(AlteredTrayTest, EveryRoadToAnAlteredDateShowsTheIconAndEveryWayBackHidesIt)
{
    const struct {
        const char* road;
        std::function<void()> alter, leave;
    } roads[] = {
        {"Set, then the real date set by hand",
         [this] {
             show();
             EXPECT_FALSE(shown());
             set("12/12/2001");
         },
         [this] { set("10/01/2004"); }},
        {"Quickset, then the tray's Reset",
         [this] {
             show();
             window->Text2->setText("13/12/2001");
             action("menuMinus1day")->trigger();
         },
         [this] {
             choose(0);
             EXPECT_EQ(dialogs.texts().last(), "Date restored to:  10/01/2004");
         }},
        {"altered at start, then Hide, the tray's Show and Exit",
         [this] {
             putSetting("", "StartAltered", "1");
             setRecent(1, "12/12/2001");
             show();
         },
         [this] {
             child<QPushButton>("cmdHide")->click();
             ASSERT_TRUE(window->isMinimized());
             ASSERT_TRUE(shown());
             choose(1);
             EXPECT_FALSE(window->isMinimized());
             choose(2);
             EXPECT_EQ(endCount, 1);
         }},
    };
    for (const auto& r : roads) {
        SCOPED_TRACE(r.road);
        r.alter();
        ASSERT_TRUE(shown());
        EXPECT_EQ(icon()->toolTip(), "Ravodor\nDate in effect: 12/12/2001\nReal date: 10/01/2004");
        QStringList items;
        for (QAction* action : icon()->contextMenu()->actions())
            items << action->text();
        EXPECT_EQ(items, (QStringList{"Reset to actual date", "Show", "Exit"}));
        r.leave();
        EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
        if (endCount == 0) {  // after Exit the icon goes with the program
            EXPECT_FALSE(shown());
        }
        window.reset();
    }
}

TEST_F(AlteredTrayTest, ATrayThatComesOrComesBackWhileTheDateIsAlteredGetsTheIcon)
{
    bool tray = false;
    services.trayAvailable = [&tray] { return tray; };
    show();
    set("12/12/2001");
    EXPECT_FALSE(shown());
    const auto waitForTray = [this] { return QTest::qWaitFor([this] { return shown(); }, 3 * AlteredTray::kWatchMs); };
    tray = true;
    EXPECT_TRUE(waitForTray()) << "a tray that comes late";
    // A tray that restarts forgets its icons: shown again once it is back.
    tray = false;
    QTest::qWait(AlteredTray::kWatchMs + 500);
    icon()->hide();  // as the restarted tray sees it
    tray = true;
    EXPECT_TRUE(waitForTray()) << "a tray that comes back";
    set("10/01/2004");
    EXPECT_FALSE(shown());
    QTest::qWait(AlteredTray::kWatchMs + 500);
    EXPECT_FALSE(shown()) << "no icon once the real date is back";
}

}  // namespace
