#pragma once
// A headless weston of its own, drawn in memory, for the real program's window.

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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        process.setProcessEnvironment(env);
        process.start(weston, {"--backend=headless-backend.so", "--use-pixman", "--no-config", "--socket=wayland-0"});
        return !weston.isEmpty() && QTest::qWaitFor([&] { return QFile::exists(runtime.filePath("wayland-0")); });
    }
    // The socket by its whole path, whatever the client's XDG_RUNTIME_DIR.
    QStringList environment() const
    {
        return {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=" + runtime.filePath("wayland-0")};
    }
    ~Weston() { process.terminate(), process.waitForFinished(); }

    QTemporaryDir runtime;
    QProcess process;
};
