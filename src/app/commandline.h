#pragma once
// What the command line asks for. It is read before any application object
// exists, so that --help, --version, usage errors and --at never need a
// display and never reach the clock or the settings.

#include <QLocale>
#include <QString>

#include <string>
#include <vector>

#include "exitcodes.h"

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

// `arguments` as in argv, the program's name first. Qt's own options
// (-platform, -style, ...) are accepted and left to the application.
// `locale` gives the short date form that --help shows besides YYYY-MM-DD.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, const QLocale& locale = QLocale::system());
