// The real program on the fake clock: however it ends after a set (a signal,
// the X server going away, after which Qt's X11 plugin calls exit(), or the
// Wayland compositor, after which Qt's Wayland plugin calls _exit()), the
// real date comes back and the restore record goes; after a normal end the
// guard sets nothing. Without a display it says what to do instead.

#include <QDateTime>
#include <QFile>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "childprogram.h"
#include "datetext.h"
#include "testenv.h"
#include "weston.h"

namespace {

TEST(Program, HoweverItEndsTheRealDateComesBack)
{
    if (mayPassClockRight())
        GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    enum Display { Offscreen, X11, Wayland };
    const struct {
        const char* how;
        int signal;  // 0: the display server goes away
        Display display;
        bool recordKept;  // by a guard that put the date back: the next start removes it
    } cases[] = {{"kill -9", SIGKILL, Offscreen, true}, {"a crash", SIGSEGV, Offscreen, true},
                 {"abort", SIGABRT, Offscreen, true}, {"a normal end", SIGTERM, Offscreen, false},
                 {"a lost X display", 0, X11, false}, {"a normal end on weston", SIGTERM, Wayland, false},
                 {"a lost Wayland compositor", 0, Wayland, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        QStringList environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
        QProcess server;
        Weston weston;
        if (c.display == X11) {
            const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
            if (xvfb.isEmpty())
                GTEST_SKIP() << "needs Xvfb";
            server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1")});  // a free display, once it is ready
            ASSERT_TRUE(QTest::qWaitFor([&] { return server.canReadLine(); }, 10000));
            environment = QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"),
                                      QStringLiteral("DISPLAY=:") + QString::fromLatin1(server.readLine().trimmed())};
        } else if (c.display == Wayland) {
            if (!weston.start())
                GTEST_SKIP() << "needs weston";
            environment = weston.environment();
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
            (c.display == X11 ? server : weston.process).terminate();
        ASSERT_TRUE(program.process.waitForFinished(20000));
        if (!c.signal) {
            EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(program.process.exitCode(), 1);  // Qt's, after the restore
        }
        // A guard under load (or the sanitizers) may take a while to hear the end.
        EXPECT_TRUE(QTest::qWaitFor([&] { return program.clock("set_count") >= 2; }, 10000));
        QTest::qWait(200);  // a guard that wrongly sets again has had its chance
        EXPECT_EQ(program.clock("set_count"), 2);  // the set at start-up and the one that put the real date back
        EXPECT_EQ(program.clock("foreign_sets"), 0);  // both by the guard
        EXPECT_LT(std::llabs(program.clock("offset_ns")), 2000000000LL);
        EXPECT_EQ(bool(getSetting("", "RestoreRecord")), c.recordKept)
            << program.process.readAllStandardError().toStdString();
    }
}

// Started from an SSH login or a cron job: one line that names the way
// without a window, after Qt's own words where a display was named.
TEST(Program, WithoutADisplayItSaysWhatToDoAndTheCommandLineStillWorks)
{
    if (mayPassClockRight())
        GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    const QByteArray line = "ravodor: no display to open the window on; to run a command at a date without one, use "
                            "'ravodor --at DATE -- COMMAND' (see 'ravodor --help').\n";
    const struct {
        const char* what;
        QStringList arguments;
        QStringList environment;
        int code;
        bool qtSpeaksFirst;
    } cases[] = {
        {"no display", {}, {}, 68, false},
        {"no display, with --date", {"--date", "2030-01-01"}, {}, 68, false},
        {"a display nobody serves", {}, {"DISPLAY=:97"}, 68, true},
        {"a Wayland display nobody serves", {}, {"WAYLAND_DISPLAY=ravodor-none"}, 68, true},
        // -platform names where the window goes: Qt tries it, and says why it failed.
        {"-platform without DISPLAY", {"-platform", "ravodor-none"}, {}, 68, true},
        {"--help", {"--help"}, {}, 0, false},
        {"--at", {"--at", "2030-01-01", "--", "true"}, {}, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X97")))
            GTEST_SKIP() << "display :97 is served here";
        TestFolders folders;
        ChildProgram program;
        program.start(c.arguments, c.environment);
        ASSERT_TRUE(program.process.waitForFinished(20000));
        const QByteArray err = program.process.readAllStandardError();
        EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.process.exitCode(), c.code) << err.toStdString();
        if (c.code == 0) {
            EXPECT_EQ(err, "");
            continue;
        }
        EXPECT_TRUE(err.endsWith(line)) << err.toStdString();
        // Qt's last words blame the installation; ours say what to do instead.
        EXPECT_FALSE(err.contains("Reinstalling the application")) << err.toStdString();
        EXPECT_EQ(err.size() > line.size(), c.qtSpeaksFirst) << err.toStdString();
        EXPECT_EQ(program.clock("set_count"), 0);
    }
}

}  // namespace
