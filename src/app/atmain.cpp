// --at without --only, handed on by the command line's part once its
// parser has read it so: the only part that moves the system clock.

#include <QFile>
#include <QFileInfo>

#include "commandline.h"
#include "parts.h"
#include "processinfo.h"
#include "runat.h"

RAVODOR_PART_ENTRY int ravodor_at_main(int argc, char* argv[])
{
    // Names the settings key, the lock and the guard's record, as on Windows.
    const std::string exeBaseName =
        QFileInfo(QFile::decodeName(currentProgramPath().c_str())).completeBaseName().toStdString();
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    return runAt(commandLine.date, commandLine.command, exeBaseName, commandLine.askPassword);
}
