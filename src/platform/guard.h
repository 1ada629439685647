#pragma once
// The guard: a small process without Qt that puts the real date back when
// the program ends without doing so (killed, crashed). It finds the restore
// record in the settings store; after a normal end there is none and it
// does nothing.

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
std::unique_ptr<GuardProcess> makeGuardProcess(const std::string& guardPath, const std::string& exeBaseName);
