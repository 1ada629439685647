// ravodor --at, the real program on the fake clock: the date is in effect
// for the command only, its status comes through, and what is refused
// changes nothing.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>

#include "childprogram.h"
#include "privatebus.h"
#include "testenv.h"

namespace {

class RunAtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (mayPassClockRight())
            GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
        // What a window would act on at start; --at must not.
        putSetting("", "StartAltered", "1");
        putSetting("RecentFiles", "1", "2030-06-15");
    }

    static void expectClock(const ChildProgram& ravodor, int sets)
    {
        EXPECT_EQ(ravodor.clock("set_count"), sets);  // 2: the date, then the real one back
        EXPECT_EQ(ravodor.clock("foreign_sets"), 0);  // all by the guard
        EXPECT_LT(std::llabs(ravodor.clock("offset_ns")), 1000000000LL);
    }

    TestFolders folders;
};

TEST_F(RunAtTest, ExitStatusOutputAndWhatWasSet)
{
    const struct {
        QStringList arguments;
        bool deny;  // the fake clock refuses every set
        int code;
        const char* out;
        int sets;
    } cases[] = {
        {{"--at", "2030-01-01", "--", "date", "+%F"}, false, 0, "2030-01-01\n", 2},
        {{"--at", "2030-01-01", "--", "sh", "-c", "exit 3"}, false, 3, "", 2},
        {{"--at", "2030-01-01", "--", "sh", "-c", "kill -TERM $$"}, false, 128 + SIGTERM, "", 2},
        // The guard the record names, killed as the command's last act. The
        // program is stopped meanwhile, so it sees both ends at once.
        {{"--at", "2030-01-01", "--", "sh", "-c",
          "kill -STOP $PPID; (sleep 0.3; kill -CONT $PPID) >/dev/null 2>&1 & "
          "kill -KILL $(sed -n 's/^guard_pid=//p' \"$XDG_CONFIG_HOME/Zaduziro/ravodor/RestoreRecord\")"},
         false, 0, "", 2},
        {{"--version"}, false, 0, "Ravodor " RAVODOR_PROJECT_VERSION "\n", 0},
        {{"--frob"}, false, 64, "", 0},
        {{"--at", "2030-02-30", "--", "true"}, false, 65, "", 0},
        {{"--at", "2030-01-01", "--", "no-such-command-anywhere"}, false, 127, "", 0},
        {{"--at", "2030-01-01", "--", "true"}, true, 77, "", 0},
        // The inner --only counts from the real clock, not from the outer one's date.
        {{"--at", "2030-01-01", "--only", "--", RAVODOR_PROGRAM, "--at", "2035-01-01", "--only", "--", "date", "+%F"},
         false, 0, "2035-01-01\n", 0},
        // To the second, and running on.
        {{"--at", "2030-01-01T10:20:30", "--only", "--", "sh", "-c", "date +%FT%T | cut -c1-18"}, false, 0,
         "2030-01-01T10:20:3\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        ChildProgram ravodor;
        ravodor.start(c.arguments, c.deny ? QStringList{QStringLiteral("FAKECLOCK_DENY=1")} : QStringList{});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        const QByteArray err = ravodor.process.readAllStandardError();
        EXPECT_EQ(ravodor.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(ravodor.process.exitCode(), c.code) << err.toStdString();
        EXPECT_EQ(ravodor.process.readAllStandardOutput(), c.out);
        // Only what the program itself refuses is explained.
        EXPECT_EQ(err.isEmpty(), c.code == 0 || c.sets == 2) << err.toStdString();
        expectClock(ravodor, c.sets);
    }
}

// Started through a shell, so that bytes that are no UTF-8 reach Ravodor as they are.
TEST_F(RunAtTest, TheCommandGetsItsArgumentsByteForByte)
{
    for (const QStringList& way :
         {QStringList{"--at", "2030-01-01", "--"}, QStringList{"--at", "2030-01-01", "--only", "--"}}) {
        SCOPED_TRACE(way.join(QLatin1Char(' ')).toStdString());
        ChildProgram ravodor;
        ravodor.start(QStringList{"-c", "exec \"$0\" \"$@\" \"$(printf 'caf\\351\\377')\"", RAVODOR_PROGRAM} + way
                          + QStringList{"printf", "%s|"},
                      {}, QStringLiteral("/bin/sh"));
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        EXPECT_EQ(ravodor.process.exitCode(), 0) << ravodor.process.readAllStandardError().toStdString();
        EXPECT_EQ(ravodor.process.readAllStandardOutput(), "caf\351\377|");
    }
}

// Run from its build folder, the program names the README beside the manual.
TEST_F(RunAtTest, ARefusalSaysWhatToDoAndADateItCannotReadNamesTheFormThatAlwaysWorks)
{
    const struct {
        const char* date;
        bool deny;
        int code;
        QByteArray err;
        const char* command = "true";
    } cases[] = {
        {"tomorrow", false, 65, "ravodor: 'tomorrow' is not a date; write it as YYYY-MM-DD, or as 31/12/2030.\n"},
        {"", false, 65, "ravodor: The date is empty; write it as YYYY-MM-DD, or as 31/12/2030.\n"},
        {"2030-01-01", false, 127, "ravodor: The command is empty: name a program to run.\n", ""},
        {"2030-02-30", false, 65, "ravodor: 2030-02-30 is no day of February 2030\n"},
        // The kernel's last second to set, in UTC.
        {"2232-04-19", false, 65,
         "ravodor: The system cannot be set to that date. It takes dates from 1970-01-01 to 2232-04-18.\n"},
        {"2030-01-01", true, 77,
         "ravodor: You do not have the proper privilege level to alter the System Time.\n\n"
         "Ravodor has not been given the right to set the clock, and the system's time service is not there to "
         "ask. An administrator can give it that right. See \"man ravodor\", section \"THE RIGHT TO SET THE "
         "CLOCK\", or the section \"Giving the program the right to set the clock\" of " RAVODOR_README ". To show "
         "one program this date without any right, use ravodor --at 2030-01-01 --only -- COMMAND.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        ChildProgram ravodor;
        ravodor.start({"--at", c.date, "--", c.command},
                      {QStringLiteral("TZ=UTC"), QStringLiteral("LC_ALL=en_GB.UTF-8"),
                       QStringLiteral("FAKECLOCK_DENY=") + (c.deny ? "1" : "")});
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        EXPECT_EQ(ravodor.process.exitCode(), c.code);
        EXPECT_EQ(ravodor.process.readAllStandardError(), c.err);
    }
}

// A stand-in pkttyagent first on PATH: it notes its arguments, whom it
// answers for and how many calls the time service had before it was ready,
// then waits to be ended. The guard sets the fake clock itself unless it is
// refused; then the stand-in timedated wants a password for a quiet call.
TEST_F(RunAtTest, FromATerminalATextAgentStartsOnlyOnceAPasswordIsAskedAndIsReadyBeforeTheCallThatPrompts)
{
    QTemporaryDir bin;
    const QString log = bin.filePath(QStringLiteral("agent.log"));
    QFile agent(bin.filePath(QStringLiteral("pkttyagent")));
    ASSERT_TRUE(agent.open(QIODevice::WriteOnly));
    agent.write("#!/bin/sh\n"
                "log=\"$(dirname \"$0\")/agent.log\"\n"
                "{ echo \"$*\"; cat /proc/$2/comm; } >\"$log\"\n"
                "sleep 0.3\n"
                "echo \"calls $(wc -l <\"$CALL_LOG\")\" >>\"$log\"\n"
                "trap 'kill $! 2>/dev/null; echo ended >>\"$log\"; exit 0' TERM\n"
                "eval \"echo >&$4\"\n"
                "sleep 30 & wait\n");
    agent.close();
    ASSERT_TRUE(agent.setPermissions(agent.permissions() | QFile::ExeOwner));
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    if (const std::string missing = PrivateBus::missingTools(); !missing.empty())
        GTEST_SKIP() << missing;
    PrivateBus::Options options;
    options.ntp = false;
    options.polkitAsks = true;
    const PrivateBus bus(options);
    ASSERT_TRUE(bus.ok()) << bus.error();

    const struct {
        QStringList arguments;
        bool onTerminal;
        bool guardRefused;  // the guard goes to the time service
        bool agentStarts;
    } cases[] = {
        {{"--at", "2030-01-01", "--", "true"}, true, true, true},
        {{"--at", "2030-01-01", "--", "true"}, true, false, false},
        {{"--at", "2030-01-01", "--", "true"}, false, false, false},
        {{"--at", "2030-01-01", "--no-ask-password", "--", "true"}, true, true, false},
        {{"--no-ask-password", "--at", "2030-01-01", "--only", "--", "true"}, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString() + (c.guardRefused ? ", refused" : ""));
        QFile::remove(log);
        const std::size_t callsBefore = bus.calls().size();
        ChildProgram ravodor;
        if (c.onTerminal)
            ravodor.process.setStandardInputFile(QString::fromLocal8Bit(::ptsname(terminal)));
        QStringList environment{
            QStringLiteral("PATH=") + bin.path() + QStringLiteral(":") + qEnvironmentVariable("PATH"),
            QStringLiteral("CALL_LOG=") + QString::fromStdString(bus.callLog()),
            QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=") + qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")};
        if (c.guardRefused)
            environment << QStringLiteral("FAKECLOCK_DENY=1");
        ravodor.start(c.arguments, environment);
        ASSERT_TRUE(ravodor.process.waitForFinished(20000));
        // Nothing of an agent that was never needed.
        const QByteArray err = ravodor.process.readAllStandardError();
        EXPECT_EQ(ravodor.process.exitCode(), 0) << err.toStdString();
        EXPECT_EQ(err, "");
        QFile written(log);
        EXPECT_EQ(written.exists(), c.agentStarts);
        if (!c.agentStarts)
            continue;
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = written.readAll().split('\n');
        ASSERT_GE(lines.size(), 4);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^--process \\d+ --notify-fd \\d+ --fallback$"))
                        .match(QString::fromLatin1(lines[0])).hasMatch())
            << lines[0].toStdString();
        EXPECT_EQ(lines[1], "ravodor-guard");
        // Only the quiet call, refused, came before the agent was ready.
        EXPECT_EQ(lines[2], "calls " + QByteArray::number(qulonglong(callsBefore + 1)));
        EXPECT_EQ(lines[3], "ended");
        const std::vector<BusCall> calls = bus.calls();
        ASSERT_GE(calls.size(), callsBefore + 2);
        EXPECT_EQ(calls[callsBefore].error, "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired");
        EXPECT_EQ(calls[callsBefore + 1].error, "");
    }
    ::close(terminal);
}

TEST_F(RunAtTest, WhileTheDateIsAlteredASecondRunIsRefusedAndSigtermReachesTheCommand)
{
    ChildProgram first;
    first.start({"--at", "2030-01-01", "--", "sh", "-c",
                 "trap 'date +%F; exit 5' TERM; echo ready; while :; do sleep 0.1; done"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.process.canReadLine(); }, 10000));
    EXPECT_EQ(first.process.readLine(), "ready\n");

    // Sharing the first one's home and clock, with a runtime folder of its
    // own, as under cron or su.
    ChildProgram second;
    second.start({"--at", "2031-01-01", "--", "true"}, {QStringLiteral("HOME=") + first.dir.path(),
                                                        QStringLiteral("FAKECLOCK_STATE=") + first.statePath()});
    ASSERT_TRUE(second.process.waitForFinished(20000));
    EXPECT_EQ(second.process.exitCode(), 75);
    EXPECT_TRUE(second.process.readAllStandardError().startsWith(
        "ravodor: Another 'ravodor --at' (process " + QByteArray::number(first.process.processId()) + ")"));
    EXPECT_EQ(first.clock("set_count"), 1);

    ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
    ASSERT_TRUE(first.process.waitForFinished(10000));
    EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process.exitCode(), 5);
    EXPECT_EQ(first.process.readAllStandardOutput(), "2030-01-01\n");
    expectClock(first, 2);
}

}  // namespace

namespace {

// The guard the restore record names; 0 while there is none.
qint64 recordedGuard()
{
    const std::string record = getSetting("", "RestoreRecord").value_or("");
    const std::string::size_type at = record.find("\nguard_pid=");
    return at == std::string::npos ? 0 : std::atoll(record.c_str() + at + 11);
}

TEST_F(RunAtTest, AGuardThatEndsIsReplacedAndTheNewOnePutsTheDateBackAfterKill9)
{
    ChildProgram ravodor;
    ravodor.start({"--at", "2030-01-01", "--", "sleep", "5"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ravodor.clock("set_count") == 1 && recordedGuard() > 0; }, 10000));
    const qint64 first = recordedGuard();
    ::kill(static_cast<pid_t>(first), SIGKILL);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recordedGuard() > 0 && recordedGuard() != first; }, 5000));

    ::kill(static_cast<pid_t>(ravodor.process.processId()), SIGKILL);
    ASSERT_TRUE(ravodor.process.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ravodor.clock("set_count") == 2; }, 5000));
    expectClock(ravodor, 2);
}

}  // namespace
