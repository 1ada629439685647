// The tray icon that shows a date other than the real one in effect: when it
// is there, what it says, and what its menu does; without a tray, the
// desktop notification in its place.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <algorithm>
#include <functional>

#include "alterednotice.h"
#include "alteredtray.h"
#include "testenv.h"
#include "version.h"
#ifndef _WIN32
#include "privatebus.h"
#endif

namespace {

class AlteredTrayTest : public MainWindowTest {
protected:
    AlteredTrayTest()
    {
        services.trayAvailable = [] { return true; };
        // Never the desktop's own notifications.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ravodor-no-bus");
    }

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
    // A message waits for its Ok; the icon already tells of the date it names.
    dialogs.whileOpen = [this](const ShownMessage& message) {
        if (message.text.startsWith("Date ")) {
            EXPECT_EQ(shown(), !message.text.endsWith("10/01/2004")) << message.text.toStdString();
        }
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

#ifndef _WIN32
PrivateBus::Options notificationService(const char* capabilities)
{
    PrivateBus::Options options;
    options.session = true;
    options.notifications = capabilities;
    return options;
}

long notifyCount(const PrivateBus& bus)
{
    const std::vector<std::string> calls = bus.notificationCalls();
    return std::count_if(calls.begin(), calls.end(),
                         [](const std::string& call) { return call.rfind("Notify ", 0) == 0; });
}

// As the service sends it about notification 1; false if the stand-in did not take the call.
bool serviceSends(const char* name, const char* signature, const QVariant& second)
{
    QDBusConnection own = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                       QStringLiteral("service"));
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
    message << QString() << QString::fromLatin1(name) << QString::fromLatin1(signature)
            << QVariantList{QVariant::fromValue(1u), second};
    const bool taken = own.call(message).type() == QDBusMessage::ReplyMessage;
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    return taken;
}

// A stand-in notification service on a private session bus of each case's own.
TEST_F(AlteredTrayTest, WithoutATrayOneResidentNotificationNamesBothDatesAndGoesWithTheRealDate)
{
    if (const std::string missing = PrivateBus::missingTools(); !missing.empty())
        GTEST_SKIP() << missing;
    const struct {
        const char* what;
        bool tray;
        const char* capabilities;
        const char* actions;  // as the Notify call carries them
        bool backByAction;    // else by the window's Reset
    } cases[] = {
        {"a server with actions, back by the notification", false, "body actions",
         R"(["default", "Show", "reset", "Reset to actual date"])", true},
        {"a server without actions", false, "body", "[]", false},
        {"a tray", true, "body actions", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PrivateBus bus(notificationService(c.capabilities));
        ASSERT_TRUE(bus.ok()) << bus.error();
        services.trayAvailable = [&c] { return c.tray; };
        const auto called = [&bus](const std::string& start) {
            for (const std::string& call : bus.notificationCalls())
                if (call.rfind(start, 0) == 0)
                    return call;
            return std::string();
        };
        show();
        set("12/12/2001");
        if (c.tray) {
            QTest::qWait(500);
            EXPECT_TRUE(bus.notificationCalls().empty());
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !called("Notify ").empty(); }, 5000));
            const std::string hints = R"({"desktop-entry": ")" RAVODOR_APP_ID R"(", "resident": True})";
            EXPECT_EQ(called("Notify "), std::string("Notify \"Ravodor\" 0 \"ravodor\" \"Ravodor\" \"The system date "
                                                     "is set to 12/12/2001; the real date is 10/01/2004\" ")
                                             + c.actions + " " + hints + " 0");
        }
        if (c.backByAction) {
            // Pressed until it works: the service logs the call before the program has its answer, the id.
            EXPECT_TRUE(QTest::qWaitFor([&] {
                return serviceSends("ActionInvoked", "us", QStringLiteral("reset"))
                       && clock.date() == QDate(2004, 1, 10);
            }, 5000));
        } else {
            child<QPushButton>("cmdReset")->click();
        }
        EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
        if (!c.tray) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !called("CloseNotification 1").empty(); }, 5000));
        }
        QTest::qWait(200);
        EXPECT_EQ(notifyCount(bus), c.tray ? 0 : 1);
        window.reset();
    }
}

// A click brings the window with the service's token; a notification the
// daemon closed (an expiry, or "dismissed" right after its click, as some
// daemons do) is shown again, where the user's own dismissal is kept.
TEST_F(AlteredTrayTest, AClickPassesTheTokenAndANotificationTheDaemonClosedComesBack)
{
    if (const std::string missing = PrivateBus::missingTools(); !missing.empty())
        GTEST_SKIP() << missing;
    const struct {
        const char* what;
        const char* token;  // sent before the click, if any
        bool click;
        uint reason;
        long notifies;
    } cases[] = {
        {"clicked with a token, then closed as dismissed", "notifier-3", true, 2, 2},
        {"clicked without a token, then closed as dismissed", nullptr, true, 2, 2},
        {"expired", nullptr, false, 1, 2},
        {"dismissed by the user", nullptr, false, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PrivateBus bus(notificationService("body actions"));
        ASSERT_TRUE(bus.ok()) << bus.error();
        QStringList shown;
        AlteredNotice notice(nullptr, [] {}, [&shown](const QString& given) { shown << given; });
        notice.showAltered(QStringLiteral("12/12/2001"), QStringLiteral("10/01/2004"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return notifyCount(bus) == 1; }, 5000));
        QTest::qWait(300);  // its answer, the id, has come
        if (c.token) {
            EXPECT_TRUE(serviceSends("ActivationToken", "us", QString::fromLatin1(c.token)));
        }
        if (c.click) {
            EXPECT_TRUE(serviceSends("ActionInvoked", "us", QStringLiteral("default")));
            EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 5000));
            EXPECT_EQ(shown.value(0), QString::fromLatin1(c.token));
        }
        EXPECT_TRUE(serviceSends("NotificationClosed", "uu", QVariant::fromValue(c.reason)));
        QTest::qWait(500);
        EXPECT_EQ(notifyCount(bus), c.notifies);
    }
}
#endif

}  // namespace
