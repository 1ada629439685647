#include "privatebus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char kAddressVariable[] = "DBUS_SYSTEM_BUS_ADDRESS";
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

// Starts `args` with stderr (and stdout, unless `out` is given) to `log`. The
// child dies with this process, so a crashed test leaves nothing running.
// Only async-signal-safe calls after fork: the test may have threads.
pid_t spawn(std::vector<std::string> args, const std::string& log, int out = -1)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(out < 0 ? err : out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(err);
    return pid;
}

}  // namespace

std::string BusCall::text() const
{
    std::string s = method + "(";
    for (size_t i = 0; i < args.size(); ++i)
        s += (i ? ", " : "") + std::to_string(args[i]);
    return s + ")";
}

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
    for (const pid_t pid : {timedated_, daemon_})
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

bool PrivateBus::start(const Options& options)
{
    if (!(error_ = missingTools()).empty())
        return false;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/ravodor-bus-XXXXXX";
    if (mkdtemp(dir.data()) == nullptr)
        return false;
    dir_ = dir;

    // A bus of our own needs no root: no <user>, no service activation, and
    // everyone may own and call anything (without the eavesdrop rule dbus-python
    // gets no replies).
    std::ofstream(dir_ + "/bus.conf") << "<busconfig><listen>unix:path=" << dir_ << "/bus</listen>"
        "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
        "<allow send_destination=\"*\"/><allow eavesdrop=\"true\"/></policy></busconfig>\n";
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    daemon_ = spawn({"/usr/bin/dbus-daemon", "--config-file=" + dir_ + "/bus.conf", "--nofork", "--print-address"},
                    dir_ + "/daemon.log", pipeFds[1]);
    close(pipeFds[1]);
    // The daemon prints its address once it listens, and ends the pipe if it fails.
    char address[512] = "";
    FILE* in = fdopen(pipeFds[0], "r");
    const bool listening = std::fgets(address, sizeof address, in) && std::strchr(address, '\n');
    std::fclose(in);
    if (!listening) {
        error_ = "dbus-daemon did not start: " + readFile(dir_ + "/daemon.log");
        return false;
    }
    *std::strchr(address, '\n') = '\0';
    setenv(kAddressVariable, address, 1);
    if (!options.timedated)
        return true;

    char parameters[1024];
    std::snprintf(parameters, sizeof parameters,
                  R"({"NTP": %s, "CanNTP": %s, "PolkitAllows": %s, "FailFirst": "%s", "Log": "%s/calls"})",
                  options.ntp ? "true" : "false", options.canNtp ? "true" : "false",
                  options.polkitAllows ? "true" : "false", options.failFirst.c_str(), dir_.c_str());
    const std::string log = dir_ + "/timedated.log";
    timedated_ = spawn({kPython, "-m", "dbusmock", "--system", "--template", RAVODOR_TIMEDATED_TEMPLATE, "-p",
                        parameters}, log);
    // The stand-in creates its call log once it owns its name. Python and
    // dbusmock start in well under a second; a loaded CI machine may take several.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (access((dir_ + "/calls").c_str(), F_OK) != 0) {
        if (timedated_ > 0 && waitpid(timedated_, nullptr, WNOHANG) == timedated_)
            timedated_ = -1;
        if (timedated_ < 0 || std::chrono::steady_clock::now() > deadline) {
            error_ = "the timedated stand-in did not start: " + readFile(log);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<BusCall> PrivateBus::calls() const
{
    std::vector<BusCall> result;
    std::ifstream in(dir_ + "/calls");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        BusCall call;
        fields >> call.method >> call.error;
        if (call.error == "-")
            call.error.clear();
        for (std::int64_t arg = 0; fields >> arg;)
            call.args.push_back(arg);
        result.push_back(call);
    }
    return result;
}
