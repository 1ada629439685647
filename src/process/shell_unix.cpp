// Web addresses go to the desktop's handler through xdg-open, started
// directly with an argument vector so no shell ever reads the address.

#include "shell.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

bool OpenWithShell(void* ownerWindow, const std::string& address)
{
    (void)ownerWindow;  // xdg-open shows no UI of ours
    // xdg-open would read a leading '-' as an option; a NUL would cut the address.
    if (address.empty() || address.front() == '-' || address.find('\0') != std::string::npos)
        return false;

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return false;
    // Its own session, so a Ctrl+C meant for this program spares the browser,
    // and no signal blocked here stays blocked there.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);

    char program[] = "xdg-open";
    std::string argument = address;
    char* argv[] = {program, &argument[0], nullptr};
    pid_t pid = 0;
    int error = posix_spawnp(&pid, program, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return false;

    // Browsers started by xdg-open may keep it running for long; nobody waits
    // for it, but it must not stay behind as a zombie.
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread to be had: the process was started all the same.
    }
    return true;
}
