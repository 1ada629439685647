#include "authagent.h"

#include <cerrno>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "childcommand.h"

namespace {

// The agent gets the notify pipe here, every other descriptor closed.
constexpr int kNotifyFd = 3;

}  // namespace

AuthAgent::~AuthAgent()
{
    stop();
}

bool AuthAgent::start(std::int64_t pid)
{
    // Input, not output, decides: the password is typed, not read.
    if (pid_ > 0 || pid <= 0 || !isatty(STDIN_FILENO))
        return false;
    // The program runs as its user: PATH is the user's to choose.
    std::string path;
    if (ChildCommand::find("pkttyagent", &path) != 0)
        return false;
    int notify[2];
    if (pipe2(notify, O_CLOEXEC) != 0)
        return false;
    std::string process = std::to_string(pid);
    std::string fd = std::to_string(kNotifyFd);
    char* argv[] = {path.data(), const_cast<char*>("--process"), process.data(), const_cast<char*>("--notify-fd"),
                    fd.data(), const_cast<char*>("--fallback"), nullptr};
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // Between fork and exec only plain system calls.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        // dup2 onto itself would keep close-on-exec.
        if (notify[1] == kNotifyFd ? fcntl(kNotifyFd, F_SETFD, 0) < 0 : dup2(notify[1], kNotifyFd) < 0)
            _exit(1);
        close_range(kNotifyFd + 1, ~0U, 0);
        // The held signals of a running --at are not the agent's.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        for (int signal : {SIGINT, SIGHUP, SIGQUIT, SIGTERM})
            sigaction(signal, &fallback, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(path.c_str(), argv);
        _exit(127);
    }
    close(notify[1]);
    if (child < 0) {
        close(notify[0]);
        return false;
    }
    pid_ = child;
    // Ready when it writes to the pipe or closes it (or ends).
    pollfd ready{notify[0], POLLIN, 0};
    while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
    close(notify[0]);
    return true;
}

void AuthAgent::stop()
{
    if (pid_ <= 0)
        return;
    kill(static_cast<pid_t>(pid_), SIGTERM);
    while (waitpid(static_cast<pid_t>(pid_), nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
}
