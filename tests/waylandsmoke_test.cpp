// The real program on weston, on the fake clock, without the right to set the
// clock, driven through its own doors (a headless weston has no input): the
// window opens, takes a date from a second start, comes forward for another,
// takes the real date back and ends on SIGTERM as on its close box, with the
// real date in effect. What the title bar asks of every fixed-size window is
// asked in windowrequest_weston, in the same kind of weston.

#include <QDateTime>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>

#include "childprogram.h"
#include "privatebus.h"
#include "testenv.h"
#include "weston.h"

namespace {

TEST(WaylandSmoke, TheWindowOpensSetsComesForwardAndEndsWithTheRealDateBack)
{
    if (mayPassClockRight())
        GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    Weston weston;
    if (!weston.start())
        GTEST_SKIP() << "needs weston";
    PrivateBus::Options options;
    options.session = true;
    PrivateBus bus(options);
    if (!bus.ok())
        GTEST_SKIP() << bus.error();
    const QStringList environment = weston.environment()
                                    << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=")
                                           + qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    TestFolders folders;
    ChildProgram window;
    window.start({}, environment);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFileInfo::exists(folders.configHome() + "/Zaduziro/ravodor/ravodor.lock"); }, 10000));

    const auto secondStart = [&](const QStringList& arguments) {
        ChildProgram second;
        second.start(arguments, QStringList(environment)
                                    << QStringLiteral("XDG_RUNTIME_DIR=") + window.dir.path()
                                    << QStringLiteral("FAKECLOCK_STATE=") + window.statePath()
                                    << QStringLiteral("XDG_ACTIVATION_TOKEN=launcher-1"));
        EXPECT_TRUE(second.process.waitForFinished(20000));
        EXPECT_EQ(second.process.exitCode(), 0) << second.process.readAllStandardError().toStdString();
    };
    const auto inEffect = [&] {
        return QDateTime::currentDateTime().addMSecs(window.clock("offset_ns") / 1000000).date();
    };
    const QDate altered = QDate::currentDate().addDays(-3);
    secondStart({"--date", altered.toString(Qt::ISODate)});
    EXPECT_EQ(inEffect(), altered);
    secondStart({});  // forward, with the launcher's token
    // Handed back while the window's "Date is now" box waits for its OK.
    secondStart({"--date", QDate::currentDate().toString(Qt::ISODate)});
    EXPECT_EQ(inEffect(), QDate::currentDate());
    EXPECT_EQ(window.process.state(), QProcess::Running) << "alive after all of it";

    ::kill(static_cast<pid_t>(window.process.processId()), SIGTERM);
    ASSERT_TRUE(window.process.waitForFinished(20000));
    EXPECT_EQ(window.process.exitCode(), 0) << window.process.readAllStandardError().toStdString();
    EXPECT_EQ(window.clock("set_count"), 2);
    EXPECT_EQ(window.clock("foreign_sets"), 0);
    EXPECT_LT(std::llabs(window.clock("offset_ns")), 2000000000LL);
    EXPECT_FALSE(getSetting("", "RestoreRecord"));
}

}  // namespace
