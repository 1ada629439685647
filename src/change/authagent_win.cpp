#include "authagent.h"

// Windows asks through its own consent prompt: there is no agent to start.

AuthAgent::~AuthAgent() = default;

bool AuthAgent::start(std::int64_t)
{
    return false;
}

void AuthAgent::stop() {}
