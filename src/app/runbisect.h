#pragma once
// ravodor --only --bisect FROM..TO -- COMMAND [ARG...]: the first date from
// FROM to TO at which COMMAND fails, each trial run as --at DATE --only runs
// it, so the system clock is never touched and no right is needed. Each
// trial's date and status go to stderr as it ends, the answer alone to stdout.

#include <QString>

#include <string>
#include <vector>

// 0 found, 1 no failure from FROM to TO, 2 FROM fails already; else an
// ExitCode as --only's (commandline.h), or 128 + the signal that asked this
// program to end during a trial. `timeoutSeconds` 0: trials may run for ever.
int runBisect(const QString& range, const std::vector<std::string>& command, double timeoutSeconds);
