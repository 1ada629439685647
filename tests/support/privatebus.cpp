#include "privatebus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char kAddressVariable[] = "DBUS_SYSTEM_BUS_ADDRESS";
constexpr char kSessionVariable[] = "DBUS_SESSION_BUS_ADDRESS";
constexpr char kNoBusAddress[] = "unix:path=/nonexistent/ravodor-no-bus";
// Debian's python, which sees python3-dbusmock also when another python3
// comes first in PATH.
constexpr char kPython[] = "/usr/bin/python3";

std::string readFile(const std::string& path)
{
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Starts `args` with stdout and stderr appended to files. The child dies with
// this process, so a crashed test leaves nothing running. Only
// async-signal-safe calls after fork: the test may have threads.
pid_t spawn(std::vector<std::string> args, const std::string& out, const std::string& err)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int fds[2] = {open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600),
                        open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)};
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(fds[0], 1);
        dup2(fds[1], 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[0]);
    close(fds[1]);
    return pid;
}

}  // namespace

NoBus::NoBus()
{
    if (const char* old = std::getenv(kAddressVariable))
        old_ = old;
    setenv(kAddressVariable, kNoBusAddress, 1);
}

// An address that was unset is not unset again: that would hand the machine's
// own bus to whatever the test does next.
NoBus::~NoBus()
{
    setenv(kAddressVariable, old_ ? old_->c_str() : kNoBusAddress, 1);
}

std::string PrivateBus::missingTools()
{
    if (access("/usr/bin/dbus-daemon", X_OK) != 0)
        return "dbus-daemon is not installed (Debian package dbus-daemon)";
    static const bool dbusmock = std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") == 0;
    return dbusmock ? "" : "python3-dbusmock is not installed (for /usr/bin/python3)";
}

PrivateBus::PrivateBus(const Options& options)
{
    if (!start(options) && error_.empty())
        error_ = "the private bus did not start";
}

PrivateBus::~PrivateBus()
{
    // Not yet reaped, so the numbers are still our children's.
    for (const pid_t pid : {notifications_, timedated_, daemon_})
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    if (session_)
        setenv(kSessionVariable, kNoBusAddress, 1);
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

bool PrivateBus::start(const Options& options)
{
    if (!(error_ = missingTools()).empty())
        return false;
    std::string dir = std::filesystem::temp_directory_path() / "ravodor-bus-XXXXXX";
    if (mkdtemp(dir.data()) == nullptr)
        return false;
    dir_ = dir;

    // A bus of our own needs no root: no <user>, no service activation, and
    // everyone may own and call anything (without the eavesdrop rule dbus-python
    // gets no replies).
    std::ofstream(dir_ + "/bus.conf") << "<busconfig><listen>unix:path=" << dir_ << "/bus</listen>"
        "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
        "<allow send_destination=\"*\"/><allow eavesdrop=\"true\"/></policy></busconfig>\n";
    const std::string address = dir_ + "/address";
    daemon_ = spawn({"/usr/bin/dbus-daemon", "--config-file=" + dir_ + "/bus.conf", "--nofork", "--print-address"},
                    address, dir_ + "/daemon.log");
    // It prints its address once it listens.
    if (!waitFor(&daemon_, "daemon", [&] { return readFile(address).find('\n') != std::string::npos; }))
        return false;
    session_ = options.session;
    setenv(session_ ? kSessionVariable : kAddressVariable, ("unix:path=" + dir_ + "/bus").c_str(), 1);
    if (session_ && options.notifications) {
        const std::string ready = dir_ + "/notifications.ready";
        const std::string log = dir_ + "/notifications.log";
        const std::string parameters =
            R"({"capabilities": ")" + *options.notifications + R"(", "Ready": ")" + ready + R"("})";
        notifications_ = spawn({kPython, "-m", "dbusmock", "--session", "--template", RAVODOR_NOTIFICATIONS_TEMPLATE,
                                "-p", parameters, "-l", dir_ + "/notifications.calls"}, log, log);
        return waitFor(&notifications_, "notifications", [&] { return access(ready.c_str(), F_OK) == 0; });
    }
    if (!options.timedated || session_)
        return true;

    char parameters[1024];
    std::snprintf(parameters, sizeof parameters,
                  R"({"NTP": %s, "CanNTP": %s, "PolkitAllows": %s, "PolkitAsks": %s, "FailFirst": "%s", )"
                  R"("LateFirst": %d, "Log": "%s"})",
                  options.ntp ? "true" : "false", options.canNtp ? "true" : "false",
                  options.polkitAllows ? "true" : "false", options.polkitAsks ? "true" : "false",
                  options.failFirst.c_str(), options.lateFirstMs, callLog().c_str());
    const std::string log = dir_ + "/timedated.log";
    timedated_ = spawn({kPython, "-m", "dbusmock", "--system", "--template", RAVODOR_TIMEDATED_TEMPLATE, "-p",
                        parameters}, log, log);
    // The stand-in creates its call log once it owns its name.
    return waitFor(&timedated_, "timedated", [&] { return access(callLog().c_str(), F_OK) == 0; });
}

// Python and dbusmock start in well under a second; a loaded CI machine may take several.
bool PrivateBus::waitFor(pid_t* pid, const std::string& name, const std::function<bool()>& ready)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ready()) {
        if (*pid > 0 && waitpid(*pid, nullptr, WNOHANG) == *pid)
            *pid = -1;  // reaped: never signalled again
        if (*pid < 0 || std::chrono::steady_clock::now() > deadline) {
            error_ = name + " did not start: " + readFile(dir_ + "/" + name + ".log");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<BusCall> PrivateBus::calls() const
{
    std::vector<BusCall> result;
    std::ifstream in(callLog());
    for (std::string line; std::getline(in, line);) {
        const size_t space = line.rfind(' ');
        const std::string error = line.substr(space + 1);
        result.push_back({line.substr(0, space), error == "-" ? "" : error});
    }
    return result;
}

std::vector<std::string> PrivateBus::notificationCalls() const
{
    std::vector<std::string> result;
    std::ifstream in(dir_ + "/notifications.calls");
    for (std::string line; std::getline(in, line);)
        result.push_back(line.substr(line.find(' ') + 1));
    return result;
}
