// The real program on the fake clock, without the right to set the real one:
// however it ends after a set, the real date comes back and the restore
// record goes; after a normal end the guard sets nothing.

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "childprogram.h"
#include "datetext.h"
#include "testenv.h"

namespace {

constexpr qint64 kSecondNs = 1000000000;

TEST(Program, HoweverItEndsTheRealDateComesBackAndTheRecordGoes)
{
    if (QByteArray(RAVODOR_FAKECLOCK_SO).isEmpty())
        GTEST_SKIP() << "needs the fake clock";
    const struct {
        const char* how;
        int signal;
        int setsAfter;  // the set at start-up and the one that put the real date back
    } cases[] = {
        {"kill -9", SIGKILL, 2}, {"a crash", SIGSEGV, 2}, {"abort", SIGABRT, 2}, {"a normal end", SIGTERM, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TestFolders folders;
        putSetting("", "StartAltered", "1");
        const QDate altered = QDateTime::currentDateTimeUtc().date().addDays(-3);
        putSetting("RecentFiles", "1", DateText(QLocale::c()).format(altered).toStdString());
        QTemporaryDir home;
        const QString state = home.filePath(QStringLiteral("fakeclock.state"));

        QProcess program;
        program.setEnvironment({
            QStringLiteral("QT_QPA_PLATFORM=offscreen"), QStringLiteral("LD_PRELOAD=" RAVODOR_FAKECLOCK_SO),
            QStringLiteral("FAKECLOCK_STATE=") + state, QStringLiteral("XDG_CONFIG_HOME=") + folders.configHome(),
            QStringLiteral("XDG_DATA_HOME=") + folders.dataHome(), QStringLiteral("HOME=") + home.path(),
            QStringLiteral("XDG_RUNTIME_DIR=") + home.path(), QStringLiteral("LANG=C.UTF-8"),
            QStringLiteral("TZ=UTC"), QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"),
        });
        program.start(QStringLiteral(RAVODOR_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return readFakeClockState(state).value_or(FakeClockState{}).sets >= 1; }, 20000))
            << program.readAllStandardError().toStdString();
        ASSERT_TRUE(getSetting("", "RestoreRecord"));

        ::kill(static_cast<pid_t>(program.processId()), c.signal);
        EXPECT_TRUE(waitFor([&] { return readFakeClockState(state).value_or(FakeClockState{}).sets >= c.setsAfter; }, 1000));
        program.waitForFinished(10000);
        QTest::qWait(200);  // a guard that wrongly sets again has had its chance
        const FakeClockState after = readFakeClockState(state).value_or(FakeClockState{});
        EXPECT_EQ(after.sets, c.setsAfter);
        EXPECT_LT(std::llabs(after.offsetNs), 2 * kSecondNs);
        EXPECT_TRUE(waitFor([] { return !getSetting("", "RestoreRecord"); }, 1000));
    }
}

}  // namespace
