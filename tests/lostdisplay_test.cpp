// The display goes away while a date is altered (the X server crashes, the
// session ends without asking): Qt's X11 plugin then calls exit(), and the
// program still puts the real date back on its way out. The real program
// runs on the fake clock, without the right to set the real one.

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>

#include "childprogram.h"
#include "datetext.h"
#include "testenv.h"

namespace {

constexpr int kCapSetpcap = 8;
constexpr int kCapSysTime = 25;

// The capability sets of this process, as /proc shows them.
bool holds(const char* set, int bit)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(set) + ':'))
            return (line.mid(qstrlen(set) + 1).trimmed().toULongLong(nullptr, 16) >> bit) & 1U;
    }
    return true;
}

std::optional<qint64> offsetNs(const QString& state, int* sets)
{
    const std::optional<FakeClockState> read = readFakeClockState(state);
    if (!read)
        return std::nullopt;
    *sets = read->sets;
    return read->offsetNs;
}

TEST(LostDisplay, TheRealDateComesBackWhenTheXServerGoesAway)
{
    for (const char* set : {"CapEff", "CapPrm", "CapAmb"})
        ASSERT_FALSE(holds(set, kCapSysTime)) << "refusing to start the program with the right to set the clock";
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty() || QByteArray(RAVODOR_FAKECLOCK_SO).isEmpty())
        GTEST_SKIP() << "needs Xvfb and the fake clock";

    // A display number nobody uses.
    int display = 64;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))
           || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
        ++display;
    QProcess server;
    server.start(xvfb, {QStringLiteral(":%1").arg(display), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                        QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x480x24")});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(waitFor([&] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)); }, 10000));

    // Changing the date on start-up, to three days ago.
    TestFolders folders;
    putSetting("", "StartAltered", "1");
    const QDate altered = QDateTime::currentDateTimeUtc().date().addDays(-3);
    putSetting("RecentFiles", "1", DateText(QLocale::c()).format(altered).toStdString());
    QTemporaryDir home;
    const QString state = home.filePath(QStringLiteral("fakeclock.state"));

    QProcess program;
    program.setEnvironment({
        QStringLiteral("DISPLAY=:%1").arg(display), QStringLiteral("QT_QPA_PLATFORM=xcb"),
        QStringLiteral("LD_PRELOAD=" RAVODOR_FAKECLOCK_SO), QStringLiteral("FAKECLOCK_STATE=") + state,
        QStringLiteral("XDG_CONFIG_HOME=") + folders.configHome(), QStringLiteral("XDG_DATA_HOME=") + folders.dataHome(),
        QStringLiteral("HOME=") + home.path(), QStringLiteral("XDG_RUNTIME_DIR=") + home.path(),
        QStringLiteral("LANG=C.UTF-8"), QStringLiteral("TZ=UTC"), QStringLiteral("PATH=/usr/bin:/bin"),
    });
    QStringList command = {QStringLiteral(RAVODOR_PROGRAM)};
    if (holds("CapEff", kCapSetpcap))
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--inh-caps=-sys_time"),
                              QStringLiteral("--bounding-set=-sys_time")} + command;
    program.start(command.takeFirst(), command);
    ASSERT_TRUE(program.waitForStarted(10000));

    int sets = 0;
    const bool dateSet = waitFor([&] { return offsetNs(state, &sets) && sets >= 1; }, 20000);
    server.terminate();
    server.waitForFinished(10000);
    const bool ended = program.waitForFinished(20000);
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
    ASSERT_TRUE(dateSet) << program.readAllStandardError().toStdString();
    ASSERT_TRUE(ended);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);  // Qt's, after the restore
    const std::optional<qint64> offset = offsetNs(state, &sets);
    ASSERT_TRUE(offset);
    EXPECT_LT(std::llabs(*offset), 5 * qint64(1000000000)) << "the clock was left " << *offset / 1000000000
                                                           << " s away\n"
                                                           << program.readAllStandardError().toStdString();
}

}  // namespace
