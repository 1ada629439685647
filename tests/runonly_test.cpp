// ravodor --at --only, the real program on the fake clock: the command and
// the programs it starts see the date while the clock is never set, and a
// command no preload reaches is refused before it runs.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "childprogram.h"
#include "testenv.h"

namespace {

// A terminal for stderr, held open so what was written stays readable.
class Terminal {
public:
    Terminal() : main_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        EXPECT_GE(main_, 0);
        EXPECT_EQ(::grantpt(main_), 0);
        EXPECT_EQ(::unlockpt(main_), 0);
        side_ = ::open(::ptsname(main_), O_RDWR | O_NOCTTY);
        EXPECT_GE(side_, 0);
    }
    ~Terminal()
    {
        ::close(side_);
        ::close(main_);
    }
    QString path() const { return QString::fromLocal8Bit(::ptsname(main_)); }
    QByteArray written() const
    {
        char buffer[512];
        const ssize_t got = ::read(main_, buffer, sizeof buffer);
        return QByteArray(buffer, int(std::max<ssize_t>(got, 0)));
    }

private:
    int main_;
    int side_ = -1;
};

class RunOnlyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (mayPassClockRight())
            GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    }

    TestFolders folders;
};

TEST_F(RunOnlyTest, CommandsNoPreloadReachesAreRefusedBeforeTheyRun)
{
    const auto contents = [](const char* path) {
        QFile file{QString::fromLocal8Bit(path)};
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray probe = RAVODOR_STATIC_PROBE;
    const struct {
        const char* name;
        mode_t mode;
        QByteArray contents;
        bool refused;  // else it runs, and says so
    } cases[] = {
        {"static", 0755, contents(RAVODOR_STATIC_PROBE), true},
        {"setuid", 04755, contents("/bin/echo"), true},
        {"setgid", 02755, contents("/bin/echo"), true},
        {"script", 0755, "#!" + probe + "\n", true},
        {"env", 0755, "#!/usr/bin/env static_probe\n", true},
        {"env -S", 0755, "#!/usr/bin/env -S A=1 static_probe -x\n", true},
        {"dynamic", 0755, contents("/bin/echo"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChildProgram ravodor;
        const QString path = ravodor.dir.filePath(QLatin1String(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.contents) == c.contents.size());
        file.close();
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);

        // The probe found on PATH, as env finds it.
        ravodor.start({"--at", "2030-01-01", "--only", "--", path, "ran"},
                      {"PATH=" + QFileInfo(QString::fromLocal8Bit(probe)).path() + ":" + qEnvironmentVariable("PATH")});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(ravodor.process.readAllStandardError());
        EXPECT_EQ(ravodor.process.exitCode(), c.refused ? 78 : 0) << err.toStdString();
        EXPECT_EQ(ravodor.process.readAllStandardOutput(), c.refused ? "" : "ran\n");
        // The one to blame: for a script, its interpreter.
        const QString blamed = c.contents.startsWith("#!") ? QString::fromLocal8Bit(probe) : path;
        EXPECT_EQ(err.contains(blamed) && err.contains("--at without --only"), c.refused) << err.toStdString();
        EXPECT_EQ(ravodor.clock("set_count"), 0);
    }
}

TEST_F(RunOnlyTest, TheCommandSeesTheDateRunningOnInItsChildrenWhileTheClockIsNeverSet)
{
    ChildProgram ravodor;
    // The command reads the time, then starts `date` a second later. It
    // ends by exec, so libfaketime cannot clean up after itself.
    ravodor.start({"--at", "2030-06-15", "--only", "--", "perl", "-e",
                   "print time, qq(\\n); sleep 1; system qw(date), '+%F %s'; print $$; exec qw(true)"});
    ASSERT_TRUE(ravodor.process.waitForFinished(20000));
    EXPECT_EQ(ravodor.process.exitCode(), 0) << ravodor.process.readAllStandardError().toStdString();
    const QList<QByteArray> seen = ravodor.process.readAllStandardOutput().simplified().split(' ');
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen[1], "2030-06-15");
    // libfaketime's shared memory, named after the command, is gone with it.
    for (const char* name : {"/dev/shm/faketime_shm_", "/dev/shm/sem.faketime_sem_"})
        EXPECT_FALSE(QFile::exists(name + QString::fromLatin1(seen[3]))) << name;
    const qint64 later = seen[2].toLongLong() - seen[0].toLongLong();
    EXPECT_GE(later, 1);
    EXPECT_LT(later, 10);
    EXPECT_EQ(ravodor.clock("set_count"), 0);
    EXPECT_EQ(ravodor.clock("offset_ns"), 0);
}

// `ravodor` runs the plain form itself and hands any other to the command
// line's part (`--at=DATE` is one): the command cannot tell which.
TEST_F(RunOnlyTest, TheFrontAndTheCommandLinesPartPrepareTheCommandAlike)
{
    const QString command = QStringLiteral(
        "date +%F; echo \"$LD_PRELOAD|$FAKETIME_DONT_FAKE_MONOTONIC\"; case $FAKETIME in +*) echo ahead;; esac");
    QByteArray seen[2];
    const QStringList routes[] = {{"--at", "2030-06-15"}, {"--at=2030-06-15"}};
    for (int route = 0; route < 2; ++route) {
        ChildProgram ravodor;
        ravodor.start(routes[route] + QStringList{"--only", "--", "sh", "-c", command});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        EXPECT_EQ(ravodor.process.exitCode(), 0) << ravodor.process.readAllStandardError().toStdString();
        seen[route] = ravodor.process.readAllStandardOutput();
    }
    EXPECT_TRUE(seen[0].startsWith("2030-06-15\n")) << seen[0].toStdString();
    // libfaketime first, the preload already there after it.
    EXPECT_TRUE(seen[0].contains("libfaketime.so.1:" RAVODOR_FAKECLOCK_SO "|1\nahead\n")) << seen[0].toStdString();
    EXPECT_EQ(seen[0], seen[1]);
}

// A two-digit year is read by the locale's rule; at a terminal the reading is shown.
TEST_F(RunOnlyTest, AtATerminalADateNotWrittenYyyyMmDdIsEchoedAsRead)
{
    const Terminal terminal;
    const struct {
        const char* date;
        bool onTerminal;
        QByteArray err;
    } cases[] = {
        {"31/12/30", true, "ravodor: 31/12/30 read as 1930-12-31\r\n"},
        {"31/12/30", false, ""},
        {"2030-12-31", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        ChildProgram ravodor;
        if (c.onTerminal)
            ravodor.process.setStandardErrorFile(terminal.path());
        ravodor.start({"--at", c.date, "--only", "--", "date", "+%F"}, {"LC_ALL=en_GB.UTF-8"});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        EXPECT_EQ(ravodor.process.exitCode(), 0);
        EXPECT_EQ(ravodor.process.readAllStandardOutput(), c.date[2] == '/' ? "1930-12-31\n" : "2030-12-31\n");
        EXPECT_EQ(terminal.written() + ravodor.process.readAllStandardError(), c.err);
    }
}

// The clocks go forward in London at 01:00 on 2030-03-31 and back at 02:00 on 2030-10-27.
TEST_F(RunOnlyTest, AtATerminalATimeOfDayTheZoneSkipsOrRepeatsIsSaidAsTaken)
{
    const Terminal terminal;
    const struct {
        const char* date;
        const char* seen;
        const char* said;  // "" for nothing
    } cases[] = {
        {"2030-03-31T01:30", "2030-03-31T02:30", "ravodor: 2030-03-31T01:30 read as 2030-03-31T02:30:00+01:00: the "
                                                 "time zone skips that time of day then\r\n"},
        {"2030-10-27T01:30", "2030-10-27T01:30", "the time zone passes that time of day twice then\r\n"},
        {"2030-06-15T01:30", "2030-06-15T01:30", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        ChildProgram ravodor;
        ravodor.process.setStandardErrorFile(terminal.path());
        ravodor.start({"--at", c.date, "--only", "--", "date", "+%FT%H:%M"}, {"TZ=Europe/London"});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        EXPECT_EQ(ravodor.process.readAllStandardOutput(), QByteArray(c.seen) + '\n');
        const QByteArray said = terminal.written();
        EXPECT_TRUE(*c.said ? said.startsWith("ravodor: " + QByteArray(c.date) + " read as ") && said.endsWith(c.said)
                            : said.isEmpty())
            << said.toStdString();
    }
}

// In whole seconds libfaketime shows every year from 100 to 9999; beyond, the range is named.
TEST_F(RunOnlyTest, EveryDateOfTheRangeIsShownRightAndOneBeyondIsRefusedWithTheRange)
{
    const struct {
        const char* date;
        int code;
        const char* seen;  // by `date +%FT%H:%M`, or the refusal
    } cases[] = {
        {"1700-01-01", 0, "1700-01-01T"},
        {"0100-01-01", 0, "0100-01-01T"},
        {"2262-04-12", 0, "2262-04-12T"},
        {"9999-12-31", 0, "9999-12-31T"},
        {"2030-06-15T00:00:00", 0, "2030-06-15T00:00"},
        {"0099-12-31", 65, "ravodor: --only cannot show that date. It takes dates from 0100-01-01 to 9999-12-31.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        ChildProgram ravodor;
        ravodor.start({"--at", c.date, "--only", "--", "date", "+%FT%H:%M"}, {"TZ=UTC"});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        EXPECT_EQ(ravodor.process.exitCode(), c.code);
        const QByteArray seen =
            c.code ? ravodor.process.readAllStandardError() : ravodor.process.readAllStandardOutput();
        EXPECT_TRUE(seen.startsWith(c.seen)) << seen.toStdString();
    }
}

// The kernel says no more than "no such file"; the interpreter is named.
TEST_F(RunOnlyTest, AScriptWhoseInterpreterIsMissingIsToldByName)
{
    ChildProgram ravodor;
    const QString script = ravodor.dir.filePath(QStringLiteral("badshebang.sh"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("#!/nonexistent/interp\n") > 0);
    file.close();
    ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::ExeOwner));
    ravodor.start({"--at", "2030-01-01", "--only", "--", script});
    ASSERT_TRUE(ravodor.process.waitForFinished(20000));
    EXPECT_EQ(ravodor.process.exitCode(), 126);
    EXPECT_EQ(ravodor.process.readAllStandardError(),
              "ravodor: " + script.toUtf8() + ": /nonexistent/interp: no such interpreter\n");
}

TEST_F(RunOnlyTest, MakeLauncherPrintsTheEntrysPathAndSaysTheNameTheMenuShows)
{
    ChildProgram ravodor;
    ravodor.start({"--at", "2030-06-15T23:59:50", "--only", "--make-launcher", "--", "printf", "hi"},
                  {"LC_ALL=en_GB.UTF-8"});
    ASSERT_TRUE(ravodor.process.waitForFinished(20000));
    EXPECT_EQ(ravodor.process.exitCode(), 0);
    const QString path = QString::fromLocal8Bit(ravodor.process.readAllStandardOutput().trimmed());
    EXPECT_EQ(QFileInfo(path).path(), folders.dataHome() + QStringLiteral("/applications"));
    QFile entry(path);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=" RAVODOR_PROGRAM " --at 2030-06-15T23:59:50 --only -- printf hi\n"));
    EXPECT_EQ(ravodor.process.readAllStandardError(),
              "ravodor: The applications menu shows it as \"printf hi at 15/06/2030 23:59:50\"; delete that file to "
              "remove it.\n");
}

TEST_F(RunOnlyTest, SigtermReachesTheCommandWhoseStatusComesThrough)
{
    ChildProgram ravodor;
    ravodor.start({"--at", "2030-01-01", "--only", "--", "sh", "-c",
                   "trap 'date +%F; exit 5' TERM; echo ready; while :; do sleep 0.1; done"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ravodor.process.canReadLine(); }, 10000));
    EXPECT_EQ(ravodor.process.readLine(), "ready\n");
    ::kill(static_cast<pid_t>(ravodor.process.processId()), SIGTERM);
    ASSERT_TRUE(ravodor.process.waitForFinished(10000));
    EXPECT_EQ(ravodor.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ravodor.process.exitCode(), 5);
    EXPECT_EQ(ravodor.process.readAllStandardOutput(), "2030-01-01\n");
}

}  // namespace
