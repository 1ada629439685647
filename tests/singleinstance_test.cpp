// One program at a time: the second start reaches the first on the session
// bus, to bring it forward or hand it a date; without a bus the lock alone
// keeps it out; a lock left by a crash is taken over; refusals name the holder.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>

#include "privatebus.h"
#include "singleinstance.h"

namespace {

// The leader's bus connection is the process's own and made once: one bus for all.
PrivateBus& sessionBus()
{
    static PrivateBus bus([] {
        PrivateBus::Options options;
        options.session = true;
        return options;
    }());
    return bus;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sessionBus().ok())
            GTEST_SKIP() << sessionBus().error();
    }
    QTemporaryDir runtime;
};

TEST_F(SingleInstanceTest, ASecondStartBringsTheFirstForwardOrHandsItsDateAndHearsTheAnswer)
{
    const struct {
        const char* what;
        std::optional<QString> date;
        QString token;  // the launcher's, for the window to come forward with on Wayland
        bool done;      // what the window answers
        const char* message;
    } cases[] = {
        {"no date", std::nullopt, QStringLiteral("launcher-7"), true, ""},
        {"no date, no token", std::nullopt, {}, true, ""},
        {"a date set", QStringLiteral("05/05/2030"), QStringLiteral("launcher-8"), true, "Date is now:  05/05/2030"},
        {"a date refused", QStringLiteral("tomorrow"), {}, false, "That date is not in an acceptable format!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SingleInstance first(QStringLiteral("ravodor"), runtime.path());
        ASSERT_TRUE(first.tryLead());
        first.listen();
        QSignalSpy forward(&first, &SingleInstance::activationRequested);
        QStringList handed;
        first.onDateHanded = [&](const QString& date, const SingleInstance::Reply& answer) {
            handed << date;
            answer(c.done, QString::fromUtf8(c.message));
        };

        SingleInstance second(QStringLiteral("ravodor"), runtime.path());
        EXPECT_FALSE(second.tryLead());
        const SingleInstance::Answer answer = second.askLeader(c.date, c.token);
        EXPECT_TRUE(answer.reached) << answer.message.toStdString();
        EXPECT_EQ(answer.done, c.done);
        EXPECT_EQ(answer.message.toStdString(), c.message);
        EXPECT_EQ(handed, c.date ? QStringList{*c.date} : QStringList());
        ASSERT_EQ(forward.count(), 1);
        EXPECT_EQ(forward.at(0).at(0).toString(), c.token);
    }
}

TEST_F(SingleInstanceTest, WithoutAListeningWindowTheLockAloneKeepsASecondStartOutAndSaysSo)
{
    SingleInstance first(QStringLiteral("ravodor"), runtime.path());
    ASSERT_TRUE(first.tryLead());  // not listening, as without a session bus
    SingleInstance second(QStringLiteral("ravodor"), runtime.path());
    EXPECT_FALSE(second.tryLead());
    const SingleInstance::Answer answer = second.askLeader(std::nullopt);
    EXPECT_FALSE(answer.reached);
    EXPECT_TRUE(answer.message.contains(QStringLiteral("(process %1)").arg(QCoreApplication::applicationPid())))
        << answer.message.toStdString();
}

TEST_F(SingleInstanceTest, AStaleLockIsTakenOver)
{
    // The lock's owner: a process id no system hands out.
    QFile stale(runtime.filePath(QStringLiteral("ravodor.lock")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("2147483646\nravodor\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance first(QStringLiteral("ravodor"), runtime.path());
    EXPECT_TRUE(first.tryLead());
}

// The date moved by a day makes a held lock's file a day old (or a day
// ahead); with Qt's default stale time a lock whose holder runs would go to
// the next start wherever its native lock is not seen (here: none taken).
TEST_F(SingleInstanceTest, ALockWhoseHolderRunsNeverGoesStaleByItsFilesAge)
{
    for (const qint64 days : {-1, 1}) {
        SCOPED_TRACE(days);
        QTemporaryDir folder;
        QFile lock(folder.filePath(QStringLiteral("ravodor.lock")));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                   + QCoreApplication::applicationName().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
        lock.flush();  // or closing it would make it new again
        ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addDays(days), QFileDevice::FileModificationTime));
        lock.close();
        const ProgramLock second(folder.path(), QStringLiteral("ravodor"), ProgramLock::RunAt);
        EXPECT_FALSE(second.held());
        EXPECT_TRUE(second.heldElsewhere());
    }
}

TEST_F(SingleInstanceTest, ARefusalNamesTheHolderAndItsProcess)
{
    const struct {
        ProgramLock::Holder holder, refused;
        const char* names;
        const char* never;
    } cases[] = {
        {ProgramLock::Window, ProgramLock::RunAt, "The Ravodor window (process ", "--at"},
        {ProgramLock::RunAt, ProgramLock::RunAt, "Another 'ravodor --at' (process ", "window"},
        {ProgramLock::RunAt, ProgramLock::Window, "'ravodor --at' (process ", "window"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names);
        QTemporaryDir folder;
        const ProgramLock holder(folder.path(), QStringLiteral("ravodor"), c.holder);
        ASSERT_TRUE(holder.held());
        const ProgramLock refused(folder.path(), QStringLiteral("ravodor"), c.refused);
        EXPECT_FALSE(refused.held());
        EXPECT_EQ(refused.holder(), c.holder);
        const QString text = refused.refusal();
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.names) + QString::number(QCoreApplication::applicationPid())))
            << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1String(c.never))) << text.toStdString();
    }
}

}  // namespace
