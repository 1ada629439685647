// The command line's QtCore part: today's parser and what it asks for, but
// --at without --only (the at part) and the window (the window's package).

#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "commandline.h"
#include "commandrun.h"
#include "makelauncher.h"
#include "nodisplay.h"
#include "parts.h"
#include "runbisect.h"
#include "runonly.h"

RAVODOR_PART_ENTRY int ravodor_commandline_main(int argc, char* argv[])
{
    // Decided before any application object exists: none of these needs a
    // display, the clock or the settings.
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (commandLine.action == CommandLine::RunAt || commandLine.action == CommandLine::RunOnly
        || commandLine.action == CommandLine::MakeLauncher || commandLine.hasDate)
        echoReadDate(commandLine.date);
    switch (commandLine.action) {
    case CommandLine::Help:
    case CommandLine::Version:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Usage:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stderr);
        return kExitUsage;
    case CommandLine::RunAt:
        return runPart(Part::At, argc, argv);
    case CommandLine::RunOnly:
        return runOnly(commandLine.date, commandLine.command, commandLine.reportFd);
    case CommandLine::MakeLauncher:
        return makeLauncher(commandLine.date, commandLine.command);
    case CommandLine::Bisect:
        return runBisect(commandLine.date, commandLine.command, commandLine.timeout);
    case CommandLine::Window:
        break;
    }

    // The window needs a display; the command line never does.
    if (noDisplayNamed(commandLine)) {
        const QString program = QFileInfo(QFile::decodeName(argc > 0 ? argv[0] : "ravodor")).fileName();
        std::fputs(noDisplayText(program).toLocal8Bit().constData(), stderr);
        return kExitNoDisplay;
    }
    return runPart(Part::Window, argc, argv);
}
