// One program at a time: the second start fails and brings the first forward;
// a lock left by a crashed program is taken over.

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>

#include "singleinstance.h"

namespace {

TEST(SingleInstance, ASecondStartFailsAndBringsTheFirstForward)
{
    QTemporaryDir runtime;
    SingleInstance first(QStringLiteral("ravodor"), runtime.path());
    QSignalSpy forward(&first, &SingleInstance::activationRequested);
    ASSERT_TRUE(first.tryLead());

    SingleInstance second(QStringLiteral("ravodor"), runtime.path());
    QSignalSpy secondForward(&second, &SingleInstance::activationRequested);
    EXPECT_FALSE(second.tryLead());
    EXPECT_TRUE(forward.wait(2000));
    EXPECT_EQ(forward.count(), 1);
    EXPECT_EQ(secondForward.count(), 0);
}

TEST(SingleInstance, ALockLeftByACrashedProgramIsTakenOver)
{
    QTemporaryDir runtime;
    // The lock file's owner: a process id no system hands out.
    QFile stale(runtime.filePath(QStringLiteral("ravodor.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("2147483646\nravodor\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    // And its socket, which no one listens on any more.
    QFile socket(runtime.filePath(QStringLiteral("ravodor.socket")));
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();

    SingleInstance next(QStringLiteral("ravodor"), runtime.path());
    QSignalSpy forward(&next, &SingleInstance::activationRequested);
    ASSERT_TRUE(next.tryLead());

    SingleInstance another(QStringLiteral("ravodor"), runtime.path());
    EXPECT_FALSE(another.tryLead());
    EXPECT_TRUE(forward.wait(2000)) << "the new leader listens where the old socket was";
}

}  // namespace
