#include "lastchance.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

void registerExitHook(void (*hook)())
{
    std::atexit(hook);
    std::at_quick_exit(hook);
}

void limitTimeLeft(unsigned seconds)
{
    // The default action of SIGALRM ends the process; 0 disarms.
    std::signal(SIGALRM, SIG_DFL);
    ::alarm(seconds);
}
