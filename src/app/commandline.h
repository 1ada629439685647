#pragma once
// What the command line asks for. It is read before any application object
// exists, so that --help, --version, usage errors and --at never need a
// display and never reach the clock or the settings.

#include <QLocale>
#include <QString>

#include <string>
#include <vector>

struct CommandLine {
    enum Action {
        Window,   // the normal start, perhaps with --date
        Help,     // print `text` to stdout, exit 0
        Version,  // print `text` to stdout, exit 0
        Usage,    // print `text` to stderr, exit kExitUsage
        RunAt,    // set `date`, run `command`, put the real date back
        RunOnly,  // run `command` with `date` shown to it alone; the clock untouched
        MakeLauncher,  // write a launcher that does RunOnly, print its path
        Bisect,   // RunOnly at dates from FROM to TO: the first at which `command` fails
    };
    Action action = Window;
    bool hasDate = false;  // --date given (its text may still be no date)
    QString date;          // the DATE of --date or --at, or FROM..TO of --bisect
    double timeout = 0;    // --timeout SECONDS of --bisect; 0: none
    std::vector<std::string> command;  // COMMAND [ARG...] of --at, the bytes as given
    int reportFd = -1;     // with --only: the window's socket for a StartReport
    bool askPassword = true;  // --at may start a password agent in the terminal
    bool platformNamed = false;  // -platform or -display says where the window goes
    QString text;          // what Help, Version and Usage print
};

// Exit codes after sysexits.h.
enum ExitCode : int {
    kExitUsage = 64,        // EX_USAGE
    kExitNotADate = 65,     // EX_DATAERR
    kExitNoDisplay = 68,    // EX_NOHOST: no display to open the window on
    kExitUnavailable = 69,  // EX_UNAVAILABLE: time sync could not be paused
    kExitSoftware = 70,     // EX_SOFTWARE: the real date could not be put back
    kExitOsError = 71,      // EX_OSERR: the system failed otherwise
    kExitCantCreate = 73,   // EX_CANTCREAT: the restore record could not be written
    kExitTempFail = 75,     // EX_TEMPFAIL: another change of the date is in effect
    kExitNoPerm = 77,       // EX_NOPERM: no right to set the clock
    kExitOutOfReach = 78,   // EX_CONFIG: --only cannot reach COMMAND (static, setuid, ...)
    kExitCannotRun = 126,   // COMMAND found but not executable (as the shell)
    kExitNotFound = 127,    // COMMAND not found (as the shell)
};

// `arguments` as in argv, the program's name first. Qt's own options
// (-platform, -style, ...) are accepted and left to the application.
// `locale` gives the short date form that --help shows besides YYYY-MM-DD.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, const QLocale& locale = QLocale::system());
