#pragma once
// ravodor --at DATE --only --make-launcher -- COMMAND [ARG...]: the launcher
// the window's Make a launcher writes, its path on stdout.

#include <QString>

#include <string>
#include <vector>

// 0, or one of ExitCode (commandline.h) after saying why.
int makeLauncher(const QString& dateText, const std::vector<std::string>& command);
