// A prototype of the command line as an executable of its own that links
// QtCore and none of the windows' libraries: today's parser and runs, the
// window handed on (shapewindow.h). Measured by bench_cli and
// bench_startup, never installed.

#include <cstdio>
#include <string>
#include <vector>

#include "commandline.h"
#include "commandrun.h"
#include "runat.h"
#include "runbisect.h"
#include "runonly.h"
#include "shapewindow.h"

int main(int argc, char* argv[])
{
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (line.action == CommandLine::RunAt || line.action == CommandLine::RunOnly)
        echoReadDate(line.date);
    switch (line.action) {
    case CommandLine::Help:
    case CommandLine::Version:
        std::fputs(line.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Usage:
        std::fputs(line.text.toLocal8Bit().constData(), stderr);
        return kExitUsage;
    case CommandLine::RunAt:
        return runAt(line.date, line.command, "ravodor", line.askPassword);
    case CommandLine::RunOnly:
        return runOnly(line.date, line.command, line.reportFd);
    case CommandLine::Bisect:
        return runBisect(line.date, line.command, line.timeout);
    case CommandLine::MakeLauncher:
    case CommandLine::Window:
        break;
    }
    return openWindow(argc, argv);
}
