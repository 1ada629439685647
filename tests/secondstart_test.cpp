// A second start of the real program on the fake clock, while a window or an
// --at holds the lock: a date is handed to the window and set there, a start
// without one brings it forward, and every refusal names the holder.

#include <QDateTime>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>

#include "childprogram.h"
#include "privatebus.h"
#include "testenv.h"

namespace {

TEST(SecondStart, HandsItsDateToTheWindowOrIsRefusedNamingTheHolder)
{
    if (mayPassClockRight())
        GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    PrivateBus::Options options;
    options.session = true;
    PrivateBus bus(options);
    if (!bus.ok())
        GTEST_SKIP() << bus.error();
    const QString session = QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");

    const QStringList window;
    const QStringList runAt = {"--at", "2031-01-01", "--", "sh", "-c", "echo ready; exec sleep 60"};
    const struct {
        QStringList first, second;
        int code;
        const char* says;  // on stderr, followed by the first's process id where it ends in "process "
        QDate inEffect;    // null: the real date
    } cases[] = {
        {window, {"--date", "2030-05-05"}, 0, "", QDate(2030, 5, 5)},
        {window, {"--date", "tomorrow"}, 1, "ravodor: That date is not in an acceptable format!", {}},
        {window, {}, 0, "ravodor: already running; its window was asked to come forward.", {}},
        {window, {"--at", "2031-01-01", "--", "true"}, 75, "ravodor: The Ravodor window (process ", {}},
        {runAt, {"--date", "2030-05-05"}, 75, "ravodor: 'ravodor --at' (process ", QDate(2031, 1, 1)},
        {runAt, {}, 75, "ravodor: 'ravodor --at' (process ", QDate(2031, 1, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.first.join(' ') + " | " + c.second.join(' ')).toStdString());
        TestFolders folders;
        ChildProgram first;
        first.start(c.first, {QStringLiteral("QT_QPA_PLATFORM=offscreen"), session});
        // The lock, and beside it the note that names the window as its holder.
        const QString holder = folders.configHome() + "/Zaduziro/ravodor/ravodor.holder";
        if (c.first.isEmpty())
            ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(holder).size() > 0; }, 10000));
        else
            ASSERT_TRUE(QTest::qWaitFor([&] { return first.process.canReadLine(); }, 10000));

        ChildProgram second;  // sharing the first one's lock and clock
        second.start(c.second, {QStringLiteral("QT_QPA_PLATFORM=offscreen"), session,
                                QStringLiteral("XDG_RUNTIME_DIR=") + first.dir.path(),
                                QStringLiteral("FAKECLOCK_STATE=") + first.statePath()});
        ASSERT_TRUE(second.process.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(second.process.readAllStandardError());
        EXPECT_EQ(second.process.exitCode(), c.code) << err.toStdString();
        QString says = QString::fromUtf8(c.says);
        if (says.endsWith(QLatin1String("process ")))
            says += QString::number(first.process.processId());
        EXPECT_TRUE(says.isEmpty() ? err.isEmpty() : err.startsWith(says)) << err.toStdString();
        EXPECT_FALSE(err.contains(QLatin1String("come forward")) && c.code != 0) << err.toStdString();
        const QDate inEffect = QDateTime::currentDateTime().addMSecs(first.clock("offset_ns") / 1000000).date();
        EXPECT_EQ(inEffect, c.inEffect.isNull() ? QDate::currentDate() : c.inEffect);

        ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
        ASSERT_TRUE(first.process.waitForFinished(20000));
        EXPECT_LT(std::llabs(first.clock("offset_ns")), 2000000000LL);
        EXPECT_EQ(first.clock("foreign_sets"), 0);  // the handed-over Set and the Reset: by the guard
    }
}

}  // namespace
