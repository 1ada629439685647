#pragma once
// A launcher: a desktop entry in the user's applications folder that runs
// one program through `ravodor --at DATE --only`, so it always sees DATE.

#include <QLocale>
#include <QString>

#include <string>
#include <vector>

struct Launcher {
    QString ravodor;                   // the program that shows the date
    QString date;                      // as --at takes it: YYYY-MM-DD[THH:MM[:SS]]
    std::vector<std::string> command;  // PROGRAM [ARG...], the system's bytes
    QLocale locale = QLocale::system();  // the form of the date in its Name
};

// What the desktop entry of the program itself says, where it has one.
struct ProgramEntry {
    QString name;
    QString icon = QStringLiteral("ravodor");   // Ravodor's own, by default
    QString categories = QStringLiteral("Utility;");
};

// The installed entry whose Exec or TryExec names `program` (searched as a
// desktop searches its applications); the defaults when there is none.
ProgramEntry programEntry(const QString& program);

// The Name a launcher shows in the menu: the program's, the arguments
// shortened, the date in the locale's form with the time of day when given.
QString launcherName(const Launcher& launcher, const ProgramEntry& entry);

// The whole entry under `name`; "" with `why` in words when the command
// holds what an entry cannot (bytes that are no UTF-8, control characters).
QString launcherEntry(const Launcher& launcher, const QString& name, const ProgramEntry& entry, QString* why);

struct LauncherMade {
    QString path;  // "" when none was made
    QString name;  // as the menu shows it
};

// Writes the entry under a file name and a Name of its own, never over
// another file; else `why` in words.
LauncherMade writeLauncher(const Launcher& launcher, QString* why);
