#pragma once
// For tests that run the real program in a child process on the fake clock:
// what the fake clock's state file says, and waiting for it.

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTest>

#include <functional>
#include <optional>

struct FakeClockState {
    qint64 offsetNs = 0;  // how far the child set its clock from the real one
    int sets = 0;
};

// Nothing until the child first sets its clock.
inline std::optional<FakeClockState> readFakeClockState(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    FakeClockState state;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("offset_ns="))
            state.offsetNs = line.mid(10).toLongLong();
        else if (line.startsWith("set_count="))
            state.sets = line.mid(10).toInt();
    }
    return state;
}

// Processes events while it waits; false when `ms` ran out first.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}
