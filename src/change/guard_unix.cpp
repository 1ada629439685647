// The program's side of the guard on Linux. The program keeps one end of a
// socket pair whose other end is the guard's standard input and output: a
// request a line, an answer a line. However the program ends, the kernel
// closes its end and the guard reads end-of-file. The program's end is
// close-on-exec, so nothing the program starts (a command, xdg-open) keeps
// the guard waiting after the program has gone.

#include "guard.h"

#include <cerrno>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "guardprotocol.h"
#include "processinfo.h"

namespace {

std::string chosenGuardPath()
{
    return currentProgramPath() == RAVODOR_PROGRAM_INSTALLED ? RAVODOR_GUARD_INSTALLED : RAVODOR_GUARD_BUILT;
}

AppError guardLost()
{
    return {kErrUnconfirmed, "the guard ended before it answered", {}, 0};
}

class GuardClient final : public DateChanger {
public:
    explicit GuardClient(std::string path) : path_(std::move(path)) {}
    ~GuardClient() override
    {
        // After a normal end nothing is left changed: the guard reads end-of-file and leaves.
        stop();
    }

    SyncState syncState() override
    {
        AppError answer = ask({GuardRequest::SyncState, {}, false, false});
        if (answer || answer.description == "none")
            return SyncState::None;
        return answer.description == "on" ? SyncState::On : SyncState::Off;
    }
    AppError setSync(bool on, bool interactive) override
    {
        return ask({on ? GuardRequest::SyncOn : GuardRequest::SyncOff, {}, interactive, false});
    }
    AppError setDate(const CivilDate& date, bool interactive) override
    {
        return ask({GuardRequest::Date, date, interactive, false});
    }
    AppError undo(bool interactive) override
    {
        // Nothing to undo in a guard that never started.
        return pid_ > 0 ? ask({GuardRequest::Undo, {}, interactive, false}) : AppError::none();
    }
    AppError adopt(const CivilDate& realDate, bool syncPaused) override
    {
        return ask({GuardRequest::Adopt, realDate, false, syncPaused});
    }

    std::int64_t guardPid() const override { return pid_; }
    bool startGuard() override { return guardRunning() || (pid_ <= 0 && start()); }
    int guardEndFd() const override { return pidfd_; }
    bool guardRunning() override
    {
        if (pid_ <= 0 || ended_)
            return false;
        if (waitpid(pid_, nullptr, WNOHANG) == pid_)
            ended_ = true;
        return !ended_;
    }
    bool restartGuard() override
    {
        stop();
        return start();
    }

private:
    AppError ask(const GuardRequest& request)
    {
        if (pid_ <= 0 && !start()) {
            // A packaged helper given to a group has no execute bit for others.
            return {kErrPermissionDenied, "the guard could not be started", {}, 0,
                    startError_ == EACCES ? kRefusalNotInGroup : kRefusalNoRight};
        }
        const std::string line = formatRequest(request) + '\n';
        // MSG_NOSIGNAL: a guard that has gone must not end the program by
        // SIGPIPE. A signal the program handles (--at passes them on)
        // interrupts neither the request nor the wait for its answer.
        ssize_t sent = 0;
        while ((sent = send(socket_, line.data(), line.size(), MSG_NOSIGNAL)) < 0 && errno == EINTR) {
        }
        if (sent != static_cast<ssize_t>(line.size()))
            return sent < 0 ? ended() : guardLost();
        std::string reply;
        char c = 0;
        ssize_t got = 0;
        // No time limit: the guard bounds every call that cannot prompt, and
        // one that can waits as long as the prompt is up.
        while ((got = recv(socket_, &c, 1, 0)) == 1 || (got < 0 && errno == EINTR)) {
            if (got < 0)
                continue;
            if (c == '\n')
                break;
            if (reply.size() > kGuardLineMax)
                return guardLost();
            reply += c;
        }
        AppError answer;
        if (got <= 0)
            return ended();
        if (got != 1 || !parseAnswer(reply, &answer))
            return guardLost();
        return answer;
    }

    // Its end of the socket closes just before it has ended: waits for
    // that, so that guardRunning() tells it is gone.
    AppError ended()
    {
        pollfd end{pidfd_, POLLIN, 0};
        while (pidfd_ >= 0 && poll(&end, 1, 1000) < 0 && errno == EINTR) {
        }
        return guardLost();
    }

    bool start()
    {
        startError_ = 0;
        if (path_.empty())
            return false;
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        // Closed by a successful exec; carries errno when the exec fails.
        int status[2];
        if (pipe2(status, O_CLOEXEC) != 0) {
            close(pair[0]);
            close(pair[1]);
            return false;
        }
        char* argv[] = {&path_[0], nullptr};
        // Blocked until the child ignores them: a Ctrl-C that comes before
        // the child has got that far must not end it.
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        const pid_t child = fork();
        if (child == 0) {
            // Between fork and exec only plain system calls.
            if (dup2(pair[1], STDIN_FILENO) < 0 || dup2(pair[1], STDOUT_FILENO) < 0) {
                const int error = errno;
                if (write(status[1], &error, sizeof error) < 0)
                    _exit(126);
                _exit(127);
            }
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            for (int signal : {SIGINT, SIGHUP, SIGQUIT, SIGTERM})
                sigaction(signal, &ignore, nullptr);
            sigprocmask(SIG_SETMASK, &before, nullptr);
            execv(argv[0], argv);
            const int error = errno;
            if (write(status[1], &error, sizeof error) < 0)
                _exit(126);
            _exit(127);
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        close(pair[1]);
        close(status[1]);
        int execError = 0;
        ssize_t got = 0;
        while ((got = read(status[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
        close(status[0]);
        if (child < 0 || got > 0) {
            startError_ = child < 0 ? errno : execError;
            close(pair[0]);
            if (child > 0)
                waitpid(child, nullptr, 0);
            return false;
        }
        pid_ = child;
        socket_ = pair[0];
        ended_ = false;
        // Readable once the guard has ended, for the window's event loop.
        pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        return true;
    }

    void stop()
    {
        if (socket_ >= 0)
            close(socket_);
        if (pidfd_ >= 0)
            close(pidfd_);
        socket_ = pidfd_ = -1;
        // Reaped when it has ended; one still undoing runs on by itself.
        if (pid_ > 0 && !ended_)
            waitpid(pid_, nullptr, WNOHANG);
        pid_ = 0;
    }

    std::string path_;
    pid_t pid_ = 0;
    int socket_ = -1;
    int pidfd_ = -1;
    bool ended_ = false;
    int startError_ = 0;  // why the last start failed: its errno
};

}  // namespace

std::unique_ptr<DateChanger> makeGuardedChanger(SystemClock&, const std::string&)
{
    // Tried even when this user may not run it: exec's errno says why.
    return std::make_unique<GuardClient>(chosenGuardPath());
}

std::string guardExecutablePath()
{
    const std::string path = chosenGuardPath();
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}
