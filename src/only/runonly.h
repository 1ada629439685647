#pragma once
// ravodor --at DATE --only -- COMMAND [ARG...]: DATE for one command and the
// programs it starts, through libfaketime preloaded into them. The system
// clock, time sync, the guard, the restore record and the lock are left
// alone, so no right is needed. Every message goes to stderr.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "clock.h"
#include "commandrun.h"

// What --only starts: the program and what its environment gains.
struct OnlyLaunch {
    std::vector<std::string> argv;   // argv[0] as typed
    std::string path;                // the program found on PATH
    QList<QPair<QByteArray, QByteArray>> environment;  // set in the child: FAKETIME, LD_PRELOAD, ...
    std::int64_t shownSecond = 0;    // the first second it is shown
    TimeFit fit = TimeFit::Exact;    // how a time of day given met the time zone
};

// The checks of --only (date, command, libfaketime, what a preload cannot reach): 0 with `launch` filled,
// else an ExitCode with `why` holding the words, for `reader`.
int prepareOnly(const QString& dateText, const std::vector<std::string>& command, Reader reader, OnlyLaunch* launch,
                QString* why);

// The exit code: COMMAND's status, or one of ExitCode (commandline.h).
// `reportFd`, unless -1, gets a StartReport once the first moments have
// passed, in the window's words: the command's output and errors then pass
// through this process on their way.
int runOnly(const QString& dateText, const std::vector<std::string>& command, int reportFd = -1);
// The same through `child`, with `watch` looked after while COMMAND runs.
int runOnly(const QString& dateText, const std::vector<std::string>& command, ChildCommand& child, ChildWatch watch);
