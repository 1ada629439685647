#pragma once
// Runs a command as a child of the program, with the program's environment
// and standard streams, and waits for it. While an instance lives, the
// signals that ask the program to end (interrupt, terminate, hang-up, quit)
// do not end it: they go on to the command, and the program stays to put
// things right after the command has ended.

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Something to look after while a command runs: when `fd` becomes readable,
// `ready` is called and returns the next one (-1: no more).
struct ChildWatch {
    int fd = -1;
    std::function<int()> ready;
};

// What a start changes besides: the command's descriptors and what to look
// after while it runs.
struct ChildSetup {
    std::vector<std::pair<int, int>> streams;  // {the command's descriptor, ours it gets}
    std::vector<ChildWatch> watches;
    // Called once, `momentsMs` after the start, unless the command has ended by then.
    int momentsMs = -1;
    std::function<void()> momentsPassed;
};

class ChildCommand {
public:
    // From here on an ending signal that comes while no command runs is
    // held: run() then starts none, and the destructor hands it back.
    ChildCommand();
    // Signal handling as it was found; a held signal takes effect now.
    ~ChildCommand();
    ChildCommand(const ChildCommand&) = delete;
    ChildCommand& operator=(const ChildCommand&) = delete;

    // False where commands cannot be run this way yet.
    static bool supported();

    // True when a command started from here runs as the user who started
    // the program: not so in a setuid or setgid program.
    static bool runsAsCaller();

    // Looks a command up as the shell does: a name with a slash as it is,
    // any other in PATH. 0 with its path when it can be run, 127 when there
    // is no such command, 126 when there is one that cannot be run.
    static int find(const std::string& name, std::string* path);

    // Starts `path` with `argv` (argv[0] first) and waits for it. Its exit
    // status, or 128 + the number of the signal that ended it; -1 with errno
    // when it could not be started (EINTR: a signal came first). The command
    // gets the signal handling the program was started with.
    int run(const std::string& path, const std::vector<std::string>& argv, ChildSetup setup = {});

    // Why `path` could not be started with `error` (an errno), in words: a
    // script's missing interpreter by name, else the system's own.
    static std::string startFailure(const std::string& path, int error);

    // The process number of the command run() started last, 0 before any.
    // Once run() has returned another process may have it.
    long lastPid() const { return lastPid_; }

    // The ending signal passed on (or sent by the terminal to both) while
    // the last command ran, 0 when none came: the caller was asked to end.
    static int endingSignal();

private:
    long lastPid_ = 0;
};
