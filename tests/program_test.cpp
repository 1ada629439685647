// The real program on the fake clock: however it ends after a set (a signal,
// or the X server going away, after which Qt's X11 plugin calls exit()), the
// real date comes back and the restore record goes; after a normal end the
// guard sets nothing.

#include <QDateTime>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "childprogram.h"
#include "datetext.h"
#include "testenv.h"

namespace {

TEST(Program, HoweverItEndsTheRealDateComesBack)
{
    if (mayPassClockRight())
        GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    const struct {
        const char* how;
        int signal;  // 0: the X server goes away
        bool recordKept;  // by a guard that put the date back: the next start removes it
    } cases[] = {{"kill -9", SIGKILL, true}, {"a crash", SIGSEGV, true}, {"abort", SIGABRT, true},
                 {"a normal end", SIGTERM, false}, {"a lost display", 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        QStringList environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
        QProcess server;
        if (!c.signal) {
            const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
            if (xvfb.isEmpty())
                GTEST_SKIP() << "needs Xvfb";
            server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1")});  // a free display, once it is ready
            ASSERT_TRUE(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000));
            environment = QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"),
                                      QStringLiteral("DISPLAY=:") + QString::fromLatin1(server.readLine().trimmed())};
        }
        // The date changes on start-up, to three days ago.
        TestFolders folders;
        putSetting("", "StartAltered", "1");
        const QDate altered = QDateTime::currentDateTimeUtc().date().addDays(-3);
        putSetting("RecentFiles", "1", DateText(QLocale::c()).format(altered).toStdString());

        ChildProgram program;
        program.start({}, environment);
        ASSERT_TRUE(QTest::qWaitFor([&] { return program.clock("set_count") >= 1; }, 20000))
            << program.process.readAllStandardError().toStdString();
        ASSERT_TRUE(getSetting("", "RestoreRecord"));

        if (c.signal)
            ::kill(static_cast<pid_t>(program.process.processId()), c.signal);
        else
            server.terminate();
        ASSERT_TRUE(program.process.waitForFinished(20000));
        if (!c.signal) {
            EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(program.process.exitCode(), 1);  // Qt's, after the restore
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return program.clock("set_count") >= 2; }, 1000));
        QTest::qWait(200);  // a guard that wrongly sets again has had its chance
        EXPECT_EQ(program.clock("set_count"), 2);  // the set at start-up and the one that put the real date back
        EXPECT_EQ(program.clock("foreign_sets"), 0);  // both by the guard
        EXPECT_LT(std::llabs(program.clock("offset_ns")), 2000000000LL);
        EXPECT_EQ(bool(getSetting("", "RestoreRecord")), c.recordKept);
    }
}

}  // namespace
