// By hand rather than QProcess::startDetached: Qt 6.4 gives no way to hand
// the program an open descriptor, nor says why an exec failed.

#include "detachedstart.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kHandedFd = 3;

// In the forked child: only calls that are safe after fork() in a process
// with threads, up to the exec.
[[noreturn]] void execHanded(const char* path, char* const* argv, int handed, int errorPipe)
{
    ::setsid();  // a Ctrl+C meant for the window spares the program
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
        if (grandchild < 0) {
            const int error = errno;
            (void)!::write(errorPipe, &error, sizeof error);
        }
        ::_exit(0);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &byDefault, nullptr);  // the window may ignore it; the program must not
    if (errorPipe == kHandedFd)
        errorPipe = ::fcntl(errorPipe, F_DUPFD_CLOEXEC, kHandedFd + 1);
    if (handed == kHandedFd)
        ::fcntl(handed, F_SETFD, 0);
    else if (handed >= 0)
        ::dup2(handed, kHandedFd);
    ::execv(path, argv);
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

int startDetached(const std::string& path, const std::vector<std::string>& argv, int* reportFd)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int report[2] = {-1, -1};
    if (reportFd && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, report) != 0)
        return errno;
    // Closed by a successful exec; else it carries the errno.
    int errorPipe[2];
    int error = ::pipe2(errorPipe, O_CLOEXEC) == 0 ? 0 : errno;
    const pid_t child = error ? -1 : ::fork();
    if (child == 0)
        execHanded(path.c_str(), args.data(), report[1], errorPipe[1]);
    if (!error) {
        error = child < 0 ? errno : 0;
        ::close(errorPipe[1]);
        while (child > 0 && ::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        int told = 0;
        ssize_t got = 0;
        while (child > 0 && (got = ::read(errorPipe[0], &told, sizeof told)) < 0 && errno == EINTR) {
        }
        if (got == sizeof told)
            error = told;
        ::close(errorPipe[0]);
    }
    if (report[1] >= 0)
        ::close(report[1]);
    if (reportFd && error)
        ::close(report[0]);
    else if (reportFd)
        *reportFd = report[0];
    return error;
}

int takeHandedFd(int fd)
{
    if (fd <= STDERR_FILENO || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0)
        return -1;
    return fd;
}

void sendAndClose(int fd, const std::string& bytes)
{
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t done = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            break;
        sent += static_cast<std::size_t>(done);
    }
    closeHanded(fd);
}

void closeHanded(int fd)
{
    ::close(fd);
}

bool receiveSome(int fd, std::string* bytes)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            bytes->append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            closeHanded(fd);
            return false;
        }
    }
}
