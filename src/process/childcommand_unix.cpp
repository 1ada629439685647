#include "childcommand.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "preloadreach.h"

extern char** environ;

namespace {

constexpr int kRelayed[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kRelayedCount = sizeof kRelayed / sizeof kRelayed[0];

volatile sig_atomic_t g_child = 0;
volatile sig_atomic_t g_held = 0;  // a signal that came while no command ran
volatile sig_atomic_t g_passed = 0;  // one that came while a command ran
struct sigaction g_saved[kRelayedCount];
bool g_relaying[kRelayedCount];
sigset_t g_savedMask;

void relay(int sig, siginfo_t* info, void*)
{
    const pid_t child = g_child;
    if (child <= 0) {
        g_held = sig;
        return;
    }
    g_passed = sig;
    // The terminal sends its keys' signals to the whole foreground group,
    // the command included: passing them on would deliver them twice.
    if (info && info->si_code == SI_KERNEL)
        return;
    ::kill(child, sig);
}

sigset_t relayedSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kRelayed)
        sigaddset(&set, sig);
    return set;
}

bool runnableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

ChildCommand::ChildCommand()
{
    g_child = 0;
    g_held = 0;
    g_passed = 0;
    sigprocmask(SIG_BLOCK, nullptr, &g_savedMask);
    for (int i = 0; i < kRelayedCount; ++i) {
        sigaction(kRelayed[i], nullptr, &g_saved[i]);
        // A signal the caller chose to ignore (nohup) stays ignored, by the command too.
        g_relaying[i] = g_saved[i].sa_handler != SIG_IGN;
        if (!g_relaying[i])
            continue;
        struct sigaction action {};
        action.sa_sigaction = relay;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(kRelayed[i], &action, nullptr);
    }
}

ChildCommand::~ChildCommand()
{
    g_child = 0;
    for (int i = 0; i < kRelayedCount; ++i) {
        if (g_relaying[i])
            sigaction(kRelayed[i], &g_saved[i], nullptr);
    }
    sigprocmask(SIG_SETMASK, &g_savedMask, nullptr);
    if (g_held)
        ::raise(g_held);
}

bool ChildCommand::supported()
{
    return true;
}

bool ChildCommand::runsAsCaller()
{
    return ::getuid() == ::geteuid() && ::getgid() == ::getegid();
}

int ChildCommand::endingSignal()
{
    return g_passed;
}

int ChildCommand::find(const std::string& name, std::string* path)
{
    if (name.empty())
        return 127;
    if (name.find('/') != std::string::npos) {
        if (runnableFile(name)) {
            *path = name;
            return 0;
        }
        return ::access(name.c_str(), F_OK) == 0 ? 126 : 127;
    }
    std::string search;
    if (const char* env = std::getenv("PATH")) {
        search = env;
    } else {
        search.resize(::confstr(_CS_PATH, nullptr, 0));
        ::confstr(_CS_PATH, search.data(), search.size());
        search.resize(std::strlen(search.c_str()));
    }
    int status = 127;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = search.find(':', start);
        std::string folder = search.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // An empty entry is the current folder, as for execvp.
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (runnableFile(candidate)) {
            *path = candidate;
            return 0;
        }
        if (::access(candidate.c_str(), F_OK) == 0)
            status = 126;
        if (end == std::string::npos)
            return status;
        start = end + 1;
    }
}

int ChildCommand::run(const std::string& path, const std::vector<std::string>& argv, ChildSetup setup)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    sigset_t defaults;
    sigemptyset(&defaults);
    for (int i = 0; i < kRelayedCount; ++i) {
        if (g_relaying[i])
            sigaddset(&defaults, kRelayed[i]);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const auto& [theirs, ours] : setup.streams)
        posix_spawn_file_actions_adddup2(&actions, ours, theirs);
    // Held from here until the command's number is known, so that none is lost.
    const sigset_t set = relayedSet();
    sigset_t mask;
    sigprocmask(SIG_BLOCK, &set, &mask);
    if (g_held) {
        sigprocmask(SIG_SETMASK, &mask, nullptr);
        posix_spawn_file_actions_destroy(&actions);
        errno = EINTR;
        return -1;
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &g_savedMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    // The C library reports the exec's own failure here, a missing interpreter too.
    const int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        sigprocmask(SIG_SETMASK, &mask, nullptr);
        errno = error;
        return -1;
    }
    g_passed = 0;
    g_child = pid;
    lastPid_ = pid;
    sigprocmask(SIG_SETMASK, &mask, nullptr);

    // Readable once the command has ended, so the watches are looked after meanwhile.
    const bool looking = !setup.watches.empty() || setup.momentsPassed;
    const int ended = looking ? static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)) : -1;
    const auto moments = std::chrono::steady_clock::now() + std::chrono::milliseconds(setup.momentsMs);
    std::vector<ChildWatch>& watches = setup.watches;
    while (ended >= 0) {
        watches.erase(std::remove_if(watches.begin(), watches.end(), [](const ChildWatch& w) { return w.fd < 0; }),
                      watches.end());
        int timeout = -1;
        if (setup.momentsPassed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                moments - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        if (watches.empty() && timeout < 0)
            break;
        std::vector<pollfd> fds{{ended, POLLIN, 0}};
        for (const ChildWatch& watch : watches)
            fds.push_back({watch.fd, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0)
            continue;  // EINTR: a relayed signal
        if (fds[0].revents)
            break;
        if (ready == 0 && setup.momentsPassed) {
            std::exchange(setup.momentsPassed, nullptr)();
            continue;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents)
                watches[i - 1].fd = watches[i - 1].ready();
        }
    }
    if (ended >= 0)
        ::close(ended);
    // Waits without reaping, so that its process number cannot go to
    // another process while a signal may still be passed on to it.
    siginfo_t info {};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    g_child = 0;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

std::string ChildCommand::startFailure(const std::string& path, int error)
{
    // The kernel says only "no such file" when a script's interpreter is missing.
    if (error == ENOENT && ::access(path.c_str(), F_OK) == 0) {
        const std::string interpreter = scriptInterpreter(path);
        if (!interpreter.empty() && ::access(interpreter.c_str(), F_OK) != 0)
            return interpreter + ": no such interpreter";
    }
    if (error == ENOEXEC)
        return "not a program this system can run (" + std::string(std::strerror(error)) + ")";
    return std::strerror(error);
}
