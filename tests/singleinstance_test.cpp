// One program at a time: the second start fails and brings the first forward,
// also where a crashed program left its lock and socket behind.

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>

#include "singleinstance.h"

namespace {

TEST(SingleInstance, ASecondStartFailsAndBringsTheFirstForwardAStaleLockIsTakenOver)
{
    for (const bool crashed : {false, true}) {
        SCOPED_TRACE(crashed ? "after a crash" : "first start");
        QTemporaryDir runtime;
        if (crashed) {
            // The lock's owner: a process id no system hands out; its socket: one no one listens on.
            QFile stale(runtime.filePath(QStringLiteral("ravodor.lock")));
            ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
            stale.write("2147483646\nravodor\n" + QSysInfo::machineHostName().toUtf8() + "\n");
            stale.close();
            QFile socket(runtime.filePath(QStringLiteral("ravodor.socket")));
            ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
        }
        SingleInstance first(QStringLiteral("ravodor"), runtime.path());
        QSignalSpy forward(&first, &SingleInstance::activationRequested);
        ASSERT_TRUE(first.tryLead());

        SingleInstance second(QStringLiteral("ravodor"), runtime.path());
        QSignalSpy secondForward(&second, &SingleInstance::activationRequested);
        EXPECT_FALSE(second.tryLead());
        EXPECT_TRUE(forward.wait(2000)) << "the leader listens, where the old socket was too";
        EXPECT_EQ(forward.count(), 1);
        EXPECT_EQ(secondForward.count(), 0);
    }
}

}  // namespace
