#pragma once
// ravodor --at DATE -- COMMAND [ARG...]: the date in effect for exactly the
// life of one command, with the same promise as the window: the real date
// comes back. No window; every message goes to stderr.

#include <QString>

#include <memory>
#include <string>
#include <vector>

// The exit code: COMMAND's status, or one of ExitCode (commandline.h).
// `askPassword`: from a terminal, a password the time service needs is asked there.
int runAt(const QString& dateText, const std::vector<std::string>& command, const std::string& exeBaseName,
          bool askPassword);

// Holds the right to alter the date for one --at while it lives.
class AlterLock {
public:
    virtual ~AlterLock() = default;
    // False when another run or the window has the date altered.
    virtual bool held() const = 0;
    // When not held: why, naming the holder.
    virtual QString refusal() const = 0;
};

// The seams of --at to the rest of the program (runatseams.cpp).
std::unique_ptr<AlterLock> takeAlterLock(const std::string& exeBaseName);
