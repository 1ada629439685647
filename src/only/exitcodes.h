#pragma once
// The exit codes of the command line, after sysexits.h: the front that has
// no Qt gives the same ones.

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
