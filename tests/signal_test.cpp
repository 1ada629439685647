// A request from the system to end the program runs the closing steps: the
// real date comes back and the settings are saved before the process ends.

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

#include "testenv.h"

namespace {

TEST(QuitSignalsTest, EachSignalRestoresTheDateAndEndsCleanly)
{
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
        TestFolders folders;
        QProcess probe;
        probe.setProgram(QStringLiteral(RAVODOR_SIGNAL_PROBE));
        probe.start();
        ASSERT_TRUE(probe.waitForStarted(10000));
        while (!probe.canReadLine())
            ASSERT_TRUE(probe.waitForReadyRead(10000)) << "no ready line for signal " << sig;
        EXPECT_EQ(probe.readLine().trimmed(), "ready 2001-12-12");

        ::kill(static_cast<pid_t>(probe.processId()), sig);
        ASSERT_TRUE(probe.waitForFinished(10000));
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(probe.exitCode(), 0) << sig;
        EXPECT_EQ(probe.readAll().trimmed(), "ended 2004-01-10 after 1 messages") << sig;
        EXPECT_EQ(getSetting("", "StartAltered"), "0") << sig;
    }
}

}  // namespace
