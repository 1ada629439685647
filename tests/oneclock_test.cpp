// One clock per machine: two users (uids of their own, dropped to with
// setpriv) or one user with two settings folders, each running the real
// program on one fake clock and one hold. The first change holds the
// machine; every other start is refused before anything changes, and the
// real date comes back whatever the order of ends.

#include <QDateTime>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "childprogram.h"
#include "testenv.h"

namespace {

constexpr uid_t kUserA = 65534;  // nobody
constexpr uid_t kUserB = 65533;  // no account: named by its uid

class OneClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (mayPassClockRight())
            GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to run the program as two other users";
        // The machine: its clock and its hold, which every user may write and lock.
        const int hold = ::open(QFile::encodeName(holdPath()).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_TRUE(hold >= 0 && ::fchmod(hold, 0666) == 0 && ::close(hold) == 0);
        ASSERT_EQ(::chmod(QFile::encodeName(machine.path()).constData(), 0777), 0);
    }

    QString holdPath() const { return machine.filePath(QStringLiteral("hold")); }
    QString statePath() const { return machine.filePath(QStringLiteral("clock.state")); }

    // `program` as `uid`, its folders in `user` (a ChildProgram's own by default).
    void startAs(ChildProgram& run, uid_t uid, const QStringList& arguments, const ChildProgram* user = nullptr,
                 const char* program = RAVODOR_PROGRAM)
    {
        const QString home = (user ? user : &run)->dir.path();
        if (::chown(QFile::encodeName(home).constData(), uid, uid) != 0)
            FAIL() << "chown " << home.toStdString();
        run.start(QStringList{"--reuid=" + QString::number(uid), "--regid=" + QString::number(uid), "--clear-groups",
                              "--inh-caps=-all", "--bounding-set=-all", "--", program}
                      + arguments,
                  {"QT_QPA_PLATFORM=offscreen", "HOME=" + home, "XDG_RUNTIME_DIR=" + home,
                   "XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data",
                   "FAKECLOCK_STATE=" + statePath(), "RAVODOR_CLOCK_HOLD=" + holdPath()},
                  QStringLiteral("/usr/bin/setpriv"));
    }

    qint64 clock(const char* field) const { return fakeClockField(statePath(), field); }

    // Waits for a start to end; its status and its errors.
    static int ended(ChildProgram& run, QByteArray* err = nullptr)
    {
        EXPECT_TRUE(run.process.waitForFinished(20000));
        if (err)
            *err = run.process.readAllStandardError();
        return run.process.exitCode();
    }

    QTemporaryDir machine;
};

const QStringList kHolderAt = {"--at", "2030-01-01", "--", "sh", "-c", "echo ready; exec sleep 30"};
const QStringList kHolderWindow = {"--date", "2030-01-01"};

TEST_F(OneClockTest, WhileOneChangeIsInEffectEveryOtherStartIsRefusedNamingItsHolder)
{
    const struct {
        QStringList holder;
        uid_t second;
    } cases[] = {
        {kHolderAt, kUserB},
        {kHolderAt, kUserA},  // one user, two settings folders
        {kHolderWindow, kUserB},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder.join(' ').toStdString() + " | uid " + std::to_string(c.second));
        ChildProgram holder;
        startAs(holder, kUserA, c.holder);
        ASSERT_TRUE(QTest::qWaitFor([&] { return clock("set_count") == 1; }, 10000));

        ChildProgram second;
        startAs(second, c.second, {"--at", "2031-06-01", "--", "true"});
        QByteArray err;
        EXPECT_EQ(ended(second, &err), 75);
        EXPECT_TRUE(err.startsWith("ravodor: The date is changed by nobody (process "
                                   + QByteArray::number(holder.process.processId()) + ") since "))
            << err.toStdString();
        EXPECT_TRUE(err.endsWith("; try again when the real date is back.\n")) << err.toStdString();
        // The helper itself, started by another user, or by the holder's user to retry a
        // restore while the old one runs: refused, nothing set.
        const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toLatin1();
        for (const auto& [uid, request] : {std::pair<uid_t, QByteArray>{kUserB, "date 2031-06-01 0\n"},
                                           std::pair<uid_t, QByteArray>{kUserA, "adopt " + today + " 0\n"}}) {
            ChildProgram guard;
            startAs(guard, uid, {}, nullptr, RAVODOR_GUARD);
            guard.process.write(request);
            ASSERT_TRUE(guard.process.waitForReadyRead(10000));
            EXPECT_TRUE(guard.process.readLine().startsWith("10007 0 The date is changed by nobody (process "));
            guard.process.closeWriteChannel();
            ended(guard);
        }
        EXPECT_EQ(clock("set_count"), 1);  // never at the second date

        ::kill(static_cast<pid_t>(holder.process.processId()), SIGTERM);
        ended(holder);
        EXPECT_TRUE(QTest::qWaitFor([&] { return clock("set_count") == 2; }, 10000));
        EXPECT_LT(std::llabs(clock("offset_ns")), 1000000000LL);
        QFile::remove(statePath());
    }
}

TEST_F(OneClockTest, AHolderKilledWithTheDateAlteredIsNeverTakenForTheRealDate)
{
    ChildProgram holder;
    startAs(holder, kUserA, kHolderAt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock("set_count") == 1; }, 10000));
    // Its guard, by the id in its record, and the program.
    QFile record(holder.dir.filePath(QStringLiteral("config/Zaduziro/ravodor/RestoreRecord")));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray text = record.readAll();
    const qint64 guard = text.mid(text.indexOf("\nguard_pid=") + 11).split('\n').first().toLongLong();
    ASSERT_GT(guard, 0);
    const qint64 program = holder.process.processId();
    ::kill(static_cast<pid_t>(guard), SIGKILL);
    ::kill(static_cast<pid_t>(program), SIGKILL);
    ended(holder);
    const qint64 away = clock("offset_ns");
    ASSERT_GT(away, 86400LL * 1000000000LL);

    ChildProgram other;
    startAs(other, kUserB, {"--at", "2031-06-01", "--", "true"});
    QByteArray err;
    EXPECT_EQ(ended(other, &err), 75);
    EXPECT_EQ(err.toStdString(), "ravodor: The date was left changed by nobody (process "
                                     + std::to_string(program)
                                     + ") and is not the real one; it comes back when nobody starts Ravodor again.\n");
    EXPECT_EQ(clock("offset_ns"), away);

    // The owner's next start puts the real date back from its record.
    ChildProgram owner;
    startAs(owner, kUserA, {"--at", QDate::currentDate().toString(Qt::ISODate), "--", "true"}, &holder);
    EXPECT_EQ(ended(owner, &err), 0) << err.toStdString();
    EXPECT_LT(std::llabs(clock("offset_ns")), 1000000000LL);
    // And nothing is left that refuses anyone.
    ChildProgram again;
    startAs(again, kUserB, {"--at", "2031-06-01", "--", "true"}, &other);
    EXPECT_EQ(ended(again, &err), 0) << err.toStdString();
    EXPECT_LT(std::llabs(clock("offset_ns")), 1000000000LL);
}

// The window of another user, in process, against a hold this test keeps.
class WindowAgainstAHolder : public MainWindowTest {};

TEST_F(WindowAgainstAHolder, SetIsRefusedNamingTheHolderAndStaysUsable)
{
    QTemporaryDir machine;
    const QByteArray hold = QFile::encodeName(machine.filePath(QStringLiteral("hold")));
    const QByteArray before = qgetenv("RAVODOR_CLOCK_HOLD");
    qputenv("RAVODOR_CLOCK_HOLD", hold);
    const int fd = ::open(hold.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(fd, 0);
    const QByteArray note = "ravodor-clock-hold=1\nuid=65534\npid=4242\nsince_ns=1765238400000000000\nchanged=1\n"
                            "anchor_wall_ns=0\nanchor_boot_ns=0\nboot_id=x\nend\n";
    ASSERT_EQ(::write(fd, note.constData(), note.size()), note.size());
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    show();
    window->Text2->setText(QStringLiteral("12/12/2001"));
    QTest::mouseClick(child<QPushButton>("cmdSet"), Qt::LeftButton);
    const QString since = QDateTime::fromSecsSinceEpoch(1765238400).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    EXPECT_EQ(dialogs.texts(), QStringList{"The date is changed by nobody (process 4242) since " + since
                                           + "; try again when the real date is back."});
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(child<QPushButton>("cmdSet")->isEnabled());
    ::close(fd);
    qputenv("RAVODOR_CLOCK_HOLD", before);
}

}  // namespace
