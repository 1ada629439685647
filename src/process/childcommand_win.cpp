#include "childcommand.h"

#include <cerrno>
#include <cstring>

// Commands are not run at a date on Windows yet.

ChildCommand::ChildCommand() = default;

ChildCommand::~ChildCommand() = default;

bool ChildCommand::supported()
{
    return false;
}

bool ChildCommand::runsAsCaller()
{
    return true;
}

int ChildCommand::endingSignal()
{
    return 0;
}

int ChildCommand::find(const std::string&, std::string*)
{
    return 127;
}

int ChildCommand::run(const std::string&, const std::vector<std::string>&, ChildSetup)
{
    errno = ENOSYS;
    return -1;
}

std::string ChildCommand::startFailure(const std::string&, int error)
{
    return std::strerror(error);
}
