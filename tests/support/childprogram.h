#pragma once
// The real program in a child process on the fake clock (RAVODOR_PROGRAM,
// RAVODOR_FAKECLOCK_SO), with the settings of the TestFolders alive.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// A second guard beside the preload: could a child hold the right to set the
// clock? Root gains whatever its bounding set allows.
inline bool mayPassClockRight()
{
    QFile file(QStringLiteral("/proc/self/status"));
    const QByteArray status = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto holds = [&](const char* set) {
        const int at = status.indexOf(set);
        return at < 0 || ((status.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) >> 25) & 1U);
    };
    return holds("CapPrm:") || (::geteuid() == 0 && holds("CapBnd:"));
}

// From the fake clock's state: "offset_ns" (from the real clock), "set_count"
// or "foreign_sets" (not by the guard); 0 before the first set.
inline qint64 fakeClockField(const QString& statePath, const char* field)
{
    QFile file(statePath);
    const QByteArray state = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const int at = state.indexOf(QByteArray(field) + '=');
    return at < 0 ? 0 : state.mid(at + qstrlen(field) + 1).split('\n').first().toLongLong();
}

struct ChildProgram {
    // No display and no bus of the machine's; `environment` ("NAME=value") goes on top.
    // `program` starts it, the real one by default.
    void start(const QStringList& arguments, const QStringList& environment = {},
               const QString& program = QStringLiteral(RAVODOR_PROGRAM))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(RAVODOR_FAKECLOCK_SO));
        env.insert(QStringLiteral("FAKECLOCK_STATE"), statePath());
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        for (const QString& entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    QString statePath() const { return dir.filePath(QStringLiteral("clock.state")); }

    qint64 clock(const char* field) const { return fakeClockField(statePath(), field); }

    QTemporaryDir dir;
    QProcess process;
};
