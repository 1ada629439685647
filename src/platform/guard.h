#pragma once
// The guard: a small process without Qt that puts the real date back when
// the program ends without doing so (killed, crashed). It finds the restore
// record in the settings store; after a normal end there is none and it
// does nothing.

#include <cstdint>
#include <memory>
#include <string>

class GuardProcess {
public:
    virtual ~GuardProcess() = default;
    // Starts the guard once; true when it runs. It holds no right the
    // program did not have.
    virtual bool start() = 0;
    virtual bool running() const = 0;
};

// guardPath: the guard executable; exeBaseName: names the settings key.
// The guard is told the program's process id and start time; it acts only
// on a record of that program.
std::unique_ptr<GuardProcess> makeGuardProcess(const std::string& guardPath, const std::string& exeBaseName);

// Where the program finds the guard: beside it (build tree), else where it
// is installed (<programDir>/../libexec/ravodor/). "" when neither exists.
std::string guardExecutablePath(const std::string& programDir);

// In the guard: keeps Ctrl-C at the terminal and a hang-up from ending it
// before the program has, and lets go of what it inherited by chance.
void prepareGuard();
// In the guard: returns once the program (pid, its processStartTime) has
// ended, by whatever means. On Unix the program's end closes the pipe on
// the guard's standard input; on Windows the guard waits on its handle.
void waitForProgramEnd(std::int64_t pid, std::uint64_t pidStart);
