#pragma once
// What a program started for the window did in its first moments: the run
// of --at --only that starts it tells the window once, over a socket, so a
// user who sees no terminal still learns whether it ran.

#include <string>

struct StartReport {
    enum Outcome {
        NotStarted,  // refused or failed to start: `reason`, and the exit code in `status`
        Ended,       // ended within its first moments with `status`
        Running,     // still running when they had passed
    };
    Outcome outcome = NotStarted;
    int status = 0;
    std::string reason;
    bool wroteOutput = false;  // it wrote on its standard output
    bool terminal = false;     // which reaches a terminal
    std::string outputPlace;   // else where it went: a file, or "pipe:[...]", "socket:[...]"
    std::string errorLines;    // the last lines it wrote on its standard error
};

// How long the first moments last.
constexpr int kFirstMomentsMs = 2000;

std::string encodeReport(const StartReport& report);
// False for bytes that are no whole report.
bool decodeReport(const std::string& bytes, StartReport* report);
