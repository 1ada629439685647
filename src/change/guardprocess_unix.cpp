// The guard's own start on Linux.

#include "guardprocess.h"

#include <csignal>
#include <initializer_list>

#include <sys/syscall.h>
#include <unistd.h>

void prepareGuard()
{
    // Ctrl-C reaches the terminal's whole process group, a hang-up the whole
    // session, and a logout sends everyone SIGTERM: the guard outlives them
    // all until the program has ended, and then leaves by itself.
    for (int signal : {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGPIPE})
        std::signal(signal, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // No folder kept busy, no descriptor the program forgot to mark close-on-exec.
    if (chdir("/") != 0) {
    }
#ifdef SYS_close_range
    if (syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, 0) == 0)
        return;
#endif
    const long last = sysconf(_SC_OPEN_MAX);
    for (int fd = STDERR_FILENO + 1; fd < (last > 0 && last < 65536 ? last : 65536); ++fd)
        close(fd);
}
