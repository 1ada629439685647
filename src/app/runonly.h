#pragma once
// ravodor --at DATE --only -- COMMAND [ARG...]: DATE for one command and the
// programs it starts, through libfaketime preloaded into them. The system
// clock, time sync, the guard, the restore record and the lock are left
// alone, so no right is needed. Every message goes to stderr.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "childcommand.h"

// What --only starts: the program and what its environment gains.
struct OnlyLaunch {
    std::vector<std::string> argv;   // argv[0] as typed
    std::string path;                // the program found on PATH
    QList<QPair<QByteArray, QByteArray>> environment;  // set in the child: FAKETIME, LD_PRELOAD, ...
};

// The checks of --only (date, command, libfaketime, what a preload cannot reach): 0 with `launch` filled,
// else an ExitCode with `why` holding the words the command line prints.
int prepareOnly(const QString& dateText, const QStringList& command, OnlyLaunch* launch, QString* why);

// The exit code: COMMAND's status, or one of ExitCode (commandline.h).
int runOnly(const QString& dateText, const QStringList& command);   // as now: prepareOnly, say(why), run
// The same through `child`, with `watch` looked after while COMMAND runs.
int runOnly(const QString& dateText, const QStringList& command, ChildCommand& child, ChildWatch watch);
