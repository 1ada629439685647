#pragma once
// A weston of its own for the real program to open its window on: headless,
// drawn in memory, its socket in a folder of its own.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

struct Weston {
    // False where weston is not installed.
    bool start()
    {
        const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
        if (weston.isEmpty())
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        process.setProcessEnvironment(env);
        process.start(weston, {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                               QStringLiteral("--no-config"), QStringLiteral("--idle-time=0"),
                               QStringLiteral("--socket=wayland-test")});
        return QTest::qWaitFor([&] { return QFile::exists(socket()); }, 10000);
    }
    QString socket() const { return runtime.filePath(QStringLiteral("wayland-test")); }
    // For a client: the socket by its whole path, whatever its XDG_RUNTIME_DIR.
    QStringList environment() const
    {
        return {QStringLiteral("QT_QPA_PLATFORM=wayland"), QStringLiteral("WAYLAND_DISPLAY=") + socket()};
    }
    ~Weston()
    {
        process.terminate();
        process.waitForFinished(5000);
    }

    QTemporaryDir runtime;
    QProcess process;
};
