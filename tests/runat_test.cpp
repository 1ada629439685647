// ravodor --at, the real program on the fake clock: the date is in effect
// for the command only, its status comes through, and what is refused
// changes nothing.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct Result {
    int code = -1;
    QString out, err;
};

class RunAtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Second guard beside the preload: never with the right to set the clock.
        QFile status(QStringLiteral("/proc/self/status"));
        ASSERT_TRUE(status.open(QIODevice::ReadOnly));
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("CapBnd:") && (line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ull << 25)))
                GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
        }
        writeSetting("StartAltered", "1");
        writeSetting("RecentFiles/1", "2030-06-15");
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(RAVODOR_FAKECLOCK_SO));
        env.insert(QStringLiteral("FAKECLOCK_STATE"), dir.filePath(QStringLiteral("clock.state")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        // The time service must never reach the machine's real bus.
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        // No display: what needs no window must not need one.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (deny)
            env.insert(QStringLiteral("FAKECLOCK_DENY"), QStringLiteral("1"));
        return env;
    }

    void start(QProcess& process, const QStringList& arguments) const
    {
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(RAVODOR_EXE), arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    Result run(const QStringList& arguments) const
    {
        QProcess process;
        start(process, arguments);
        EXPECT_TRUE(process.waitForFinished(20000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    // What the fake clock recorded: offset_ns, set_count.
    std::map<QByteArray, qint64> clockState() const
    {
        std::map<QByteArray, qint64> state;
        QFile file(dir.filePath(QStringLiteral("clock.state")));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                const int equals = line.indexOf('=');
                if (equals > 0)
                    state[line.left(equals)] = line.mid(equals + 1).toLongLong();
            }
        }
        return state;
    }

    void expectRealDateBack() const
    {
        auto state = clockState();
        EXPECT_EQ(state["set_count"], 2);
        EXPECT_LT(std::llabs(state["offset_ns"]), 1000000000LL);
    }

    void writeSetting(const QString& name, const QByteArray& value) const
    {
        const QString path = dir.filePath(QStringLiteral("config/Zaduziro/ravodor/") + name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(value);
    }

    QTemporaryDir dir;
    bool deny = false;
};

TEST_F(RunAtTest, CommandSeesTheDateAndTheRealDateComesBack)
{
    const Result result = run({"--at", "2030-01-01", "--", "date", "+%F"});
    EXPECT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "2030-01-01\n");
    EXPECT_EQ(result.err, "");
    expectRealDateBack();
}

TEST_F(RunAtTest, CommandStatusComesThrough)
{
    const struct {
        const char* script;
        int code;
    } cases[] = {{"exit 3", 3}, {"kill -TERM $$", 128 + SIGTERM}};
    for (const auto& c : cases) {
        QFile::remove(dir.filePath(QStringLiteral("clock.state")));
        const Result result = run({"--at", "2030-01-01", "--", "sh", "-c", c.script});
        EXPECT_EQ(result.code, c.code) << c.script;
        expectRealDateBack();
    }
}

TEST_F(RunAtTest, EndsWithoutSettingAnything)
{
    const struct {
        QStringList arguments;
        bool deny;
        int code;
        const char* out;  // the start of stdout
    } cases[] = {
        {{"--version"}, false, 0, "Ravodor " RAVODOR_PROJECT_VERSION "\n"},
        {{"--help"}, false, 0, "Usage: ravodor "},
        {{"--frob"}, false, 64, ""},
        {{"--date"}, false, 64, ""},
        {{"--at", "2030-02-30", "--", "true"}, false, 65, ""},
        {{"--at", "2030-01-01", "--", "no-such-command-anywhere"}, false, 127, ""},
        {{"--at", "2030-01-01", "--", "true"}, true, 77, ""},
    };
    for (const auto& c : cases) {
        const std::string name = c.arguments.join(' ').toStdString();
        deny = c.deny;
        const Result result = run(c.arguments);
        EXPECT_EQ(result.code, c.code) << name << ": " << result.err.toStdString();
        EXPECT_EQ(result.out.left(static_cast<int>(std::strlen(c.out))), QString::fromLatin1(c.out)) << name;
        EXPECT_EQ(result.err.isEmpty(), c.code == 0) << name;
        EXPECT_EQ(clockState()["set_count"], 0) << name;
    }
}

TEST_F(RunAtTest, SigtermReachesTheCommandAndTheRealDateComesBack)
{
    QProcess ravodor;
    start(ravodor, {"--at", "2030-01-01", "--", "sh", "-c",
                    "trap 'date +%F; exit 5' TERM; echo ready; while :; do sleep 0.1; done"});
    while (!ravodor.canReadLine())
        ASSERT_TRUE(ravodor.waitForReadyRead(10000));
    EXPECT_EQ(ravodor.readLine(), "ready\n");

    ::kill(static_cast<pid_t>(ravodor.processId()), SIGTERM);
    ASSERT_TRUE(ravodor.waitForFinished(10000));
    EXPECT_EQ(ravodor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ravodor.exitCode(), 5);
    EXPECT_EQ(ravodor.readAllStandardOutput(), "2030-01-01\n");
    expectRealDateBack();
}

TEST_F(RunAtTest, SecondRunIsRefusedWhileTheDateIsAltered)
{
    QProcess first;
    start(first, {"--at", "2030-01-01", "--", "sh", "-c", "echo ready; cat >/dev/null"});
    while (!first.canReadLine())
        ASSERT_TRUE(first.waitForReadyRead(10000));

    const Result second = run({"--at", "2031-01-01", "--", "true"});
    EXPECT_EQ(second.code, 75);
    EXPECT_FALSE(second.err.isEmpty());
    EXPECT_EQ(clockState()["set_count"], 1);

    first.closeWriteChannel();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    expectRealDateBack();
}

}  // namespace
