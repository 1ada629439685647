// The guard on Linux: the program keeps the write end of a pipe whose read
// end is the guard's standard input. However the program ends, the kernel
// closes that end and the guard reads end-of-file. The write end is
// close-on-exec, so nothing the program starts (a command, xdg-open) keeps
// the guard waiting after the program has gone.

#include "guard.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "processinfo.h"

extern char** environ;

namespace {

struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

// The program's capabilities when it may set the clock through one of its
// own (a file capability); the guard then gets that one right, nothing more.
bool clockCapability(Capabilities* caps)
{
    if (syscall(SYS_capget, &caps->header, caps->data) != 0)
        return false;
    const unsigned bit = 1U << (CAP_SYS_TIME % 32);
    if (!(caps->data[CAP_SYS_TIME / 32].permitted & bit))
        return false;
    caps->data[CAP_SYS_TIME / 32].inheritable |= bit;
    return true;
}

class UnixGuard final : public GuardProcess {
public:
    UnixGuard(std::string path, std::string exeBaseName) : path_(std::move(path)), exe_(std::move(exeBaseName)) {}
    ~UnixGuard() override
    {
        // After a normal end the record is gone: the guard reads end-of-file and leaves.
        if (pipe_ >= 0)
            close(pipe_);
    }

    bool start() override
    {
        if (pid_ > 0)
            return running();
        // Everything the child needs is made here: between fork and exec it
        // may only make plain system calls.
        std::vector<std::string> args = {path_, exe_, std::to_string(currentProcessId()),
                                         std::to_string(processStartTime(currentProcessId()))};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        Capabilities caps;
        const bool passRight = clockCapability(&caps);

        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        // Closed by a successful exec; carries errno when the exec fails.
        int status[2];
        if (pipe2(status, O_CLOEXEC) != 0) {
            close(fds[0]);
            close(fds[1]);
            return false;
        }
        // Blocked until the child ignores them: a Ctrl-C that comes before
        // the child has got that far must not end it.
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        const pid_t child = fork();
        if (child == 0) {
            if (fds[0] == STDIN_FILENO)
                fcntl(STDIN_FILENO, F_SETFD, 0);
            else if (dup2(fds[0], STDIN_FILENO) < 0 && write(status[1], &errno, sizeof errno) >= 0)
                _exit(127);
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            for (int signal : {SIGINT, SIGHUP, SIGQUIT, SIGTERM})
                sigaction(signal, &ignore, nullptr);
            if (passRight) {
                // Inheritable and ambient: kept across exec of a file without capabilities.
                syscall(SYS_capset, &caps.header, caps.data);
                prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_SYS_TIME, 0, 0);
            }
            sigprocmask(SIG_SETMASK, &before, nullptr);
            // Started with raised rights, the program has already cut its
            // environment to the allow-list; the guard inherits that.
            execve(argv[0], argv.data(), environ);
            const int error = errno;
            if (write(status[1], &error, sizeof error) < 0)
                _exit(126);
            _exit(127);
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        close(fds[0]);
        close(status[1]);
        int execError = 0;
        ssize_t got = 0;
        while ((got = read(status[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
        close(status[0]);
        if (child < 0 || got > 0) {
            close(fds[1]);
            if (child > 0)
                waitpid(child, nullptr, 0);
            return false;
        }
        pid_ = child;
        pipe_ = fds[1];
        return running();
    }

    bool running() const override
    {
        if (pid_ <= 0 || ended_)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            ended_ = true;
        return !ended_;
    }

private:
    std::string path_;
    std::string exe_;
    pid_t pid_ = 0;
    int pipe_ = -1;
    mutable bool ended_ = false;
};

bool isExecutable(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::unique_ptr<GuardProcess> makeGuardProcess(const std::string& guardPath, const std::string& exeBaseName)
{
    return std::make_unique<UnixGuard>(guardPath, exeBaseName);
}

std::string guardExecutablePath(const std::string& programDir)
{
    for (const std::string& path : {programDir + "/ravodor-guard", programDir + "/../libexec/ravodor/ravodor-guard"}) {
        if (isExecutable(path))
            return path;
    }
    return {};
}

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

void waitForProgramEnd(std::int64_t, std::uint64_t)
{
    char buffer[64];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EINTR))
            return;
    }
}
