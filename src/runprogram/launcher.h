#pragma once
// A launcher: a desktop entry in the user's applications folder that runs
// one program through `ravodor --at DATE --only`, so it always sees DATE.

#include <QString>
#include <QStringList>

struct Launcher {
    QString ravodor;      // the program that shows the date
    QString date;         // as --at takes it
    QStringList command;  // PROGRAM [ARG...]
};

// The whole entry, its Icon from iconFor().
QString launcherEntry(const Launcher& launcher);

// The Icon of the installed entry whose Exec or TryExec names `program`
// (searched as a desktop searches its applications), else Ravodor's.
QString iconFor(const QString& program);

// Writes the entry under a file name of its own, never over another file;
// the path written, or "" with `why` in words.
QString writeLauncher(const Launcher& launcher, QString* why);
