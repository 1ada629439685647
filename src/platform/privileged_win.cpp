#include "privileged.h"

// Windows grants the right to set the clock through the user's token, not
// through the program file: nothing is raised at start.
bool startedWithRaisedRights()
{
    return false;
}

void dropUntrustedEnvironment() {}

bool keptWithRaisedRights(const char*)
{
    return true;
}

char** argumentsForToolkit(int*, char** argv)
{
    return argv;
}
