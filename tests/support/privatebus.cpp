#include "privatebus.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <systemd/sd-bus.h>

extern char** environ;

namespace {

constexpr char kAddressVariable[] = "DBUS_SYSTEM_BUS_ADDRESS";
constexpr char kNoBusAddress[] = "unix:path=/nonexistent/ravodor-no-bus";
constexpr char kPolkitName[] = "org.freedesktop.PolicyKit1";
constexpr char kPolkitPath[] = "/org/freedesktop/PolicyKit1/Authority";
constexpr char kTimedatedName[] = "org.freedesktop.timedate1";
constexpr char kTimedatedPath[] = "/org/freedesktop/timedate1";
constexpr char kMockInterface[] = "org.freedesktop.DBus.Mock";
// Python and dbusmock start in well under a second; a loaded CI machine may
// take several.
constexpr auto kStartLimit = std::chrono::seconds(20);

bool runQuietly(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Debian's python, which sees python3-dbusmock also when another python3
// comes first in PATH.
constexpr char kPython[] = "/usr/bin/python3";

bool haveDbusmock()
{
    static const bool have = runQuietly({kPython, "-c", "import dbusmock"});
    return have;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The environment for children: ours, with the bus address replaced.
std::vector<std::string> childEnvironment(const std::string& address)
{
    std::vector<std::string> env;
    const std::string prefix = std::string(kAddressVariable) + "=";
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0)
            env.emplace_back(*e);
    env.push_back(prefix + address);
    return env;
}

std::vector<char*> pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (const std::string& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

// Starts `argv` with stdout to `out` and stderr to `err`; the child dies with
// this process, so a crashed test leaves nothing running. Only async-signal-
// safe calls after fork: the test may have threads.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, int out, int err)
{
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out, 1);
    dup2(err, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
}

void saveAddress(bool* had, std::string* old)
{
    const char* value = std::getenv(kAddressVariable);
    *had = value != nullptr;
    *old = value ? value : "";
}

// With no address before, none is not handed back: that would mean the
// machine's own bus to whatever the test does next.
void restoreAddress(bool had, const std::string& old)
{
    setenv(kAddressVariable, had ? old.c_str() : kNoBusAddress, 1);
}

}  // namespace

std::string BusCall::text() const
{
    std::string s = method + "(";
    for (size_t i = 0; i < args.size(); ++i)
        s += (i ? ", " : "") + std::to_string(args[i]);
    return s + ")";
}

std::string PrivateBus::missingTools()
{
    if (access("/usr/bin/dbus-daemon", X_OK) != 0)
        return "dbus-daemon is not installed (Debian package dbus-daemon)";
    if (!haveDbusmock())
        return "python3-dbusmock is not installed (for /usr/bin/python3)";
    return {};
}

PrivateBus::PrivateBus()
    : PrivateBus(Options())
{
}

PrivateBus::PrivateBus(const Options& options)
{
    saveAddress(&hadAddress_, &oldAddress_);
    if (!start(options) && error_.empty())
        error_ = "the private bus did not start";
}

PrivateBus::~PrivateBus()
{
    if (control_)
        sd_bus_flush_close_unref(control_);
    stop(&timedated_);
    stop(&polkit_);
    stop(&daemon_);
    restoreAddress(hadAddress_, oldAddress_);
    if (!dir_.empty()) {
        for (const char* name : {"bus", "bus.conf", "daemon.log", "timedated.log", "polkitd.log"})
            unlink((dir_ + "/" + name).c_str());
        rmdir(dir_.c_str());
    }
}

bool PrivateBus::start(const Options& options)
{
    error_ = missingTools();
    if (!error_.empty())
        return false;

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ravodor-bus-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error_ = "mkdtemp: " + std::string(std::strerror(errno));
        return false;
    }
    dir_ = pattern;

    // A bus of our own needs no root: no <user>, no service activation, and
    // everyone may own and call anything.
    std::ofstream(dir_ + "/bus.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>system</type>\n"
           "  <listen>unix:path=" << dir_ << "/bus</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n"
           "    <allow own=\"*\"/>\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = "pipe: " + std::string(std::strerror(errno));
        return false;
    }
    const std::string daemonLog = dir_ + "/daemon.log";
    const int logFd = open(daemonLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    daemon_ = spawn({"/usr/bin/dbus-daemon", "--config-file=" + dir_ + "/bus.conf", "--nofork", "--print-address"},
                    childEnvironment(kNoBusAddress), pipeFds[1], logFd);
    close(pipeFds[1]);
    close(logFd);

    // The daemon prints its address once it listens.
    std::string line;
    pollfd pfd{pipeFds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    char c = 0;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (poll(&pfd, 1, 100) > 0) {
            if (read(pipeFds[0], &c, 1) != 1)
                break;
            line += c;
        }
    }
    close(pipeFds[0]);
    if (line.find('\n') == std::string::npos) {
        error_ = "dbus-daemon did not start: " + readFile(daemonLog);
        return false;
    }
    address_ = line.substr(0, line.find('\n'));
    setenv(kAddressVariable, address_.c_str(), 1);

    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) {
        error_ = "sd_bus_new failed";
        return false;
    }
    control_ = bus;
    if (sd_bus_set_address(bus, address_.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        error_ = "cannot connect to the private bus at " + address_;
        return false;
    }

    const std::string polkitLog = dir_ + "/polkitd.log";
    if (!startMock({"--template", "polkitd"}, polkitLog, &polkit_) || !waitForName(kPolkitName, &polkit_, polkitLog))
        return false;
    if (!setPolkitAllows(options.polkitAllows))
        return false;
    if (!options.timedated)
        return true;

    char parameters[200];
    std::snprintf(parameters, sizeof parameters, "{\"NTP\": %s, \"CanNTP\": %s, \"StopJobSeconds\": %g}",
                  options.ntp ? "true" : "false", options.canNtp ? "true" : "false", options.stopJobSeconds);
    const std::string timedatedLog = dir_ + "/timedated.log";
    return startMock({"--template", RAVODOR_TIMEDATED_TEMPLATE, "-p", parameters}, timedatedLog, &timedated_)
        && waitForName(kTimedatedName, &timedated_, timedatedLog);
}

bool PrivateBus::startMock(const std::vector<std::string>& args, const std::string& log, pid_t* pid)
{
    std::vector<std::string> argv = {kPython, "-m", "dbusmock", "--system"};
    argv.insert(argv.end(), args.begin(), args.end());
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    *pid = spawn(argv, childEnvironment(address_), logFd, logFd);
    close(logFd);
    if (*pid < 0)
        error_ = "cannot start " + args[1];
    return *pid >= 0;
}

bool PrivateBus::waitForName(const char* name, pid_t* owner, const std::string& log)
{
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        int has = 0;
        if (sd_bus_call_method(control_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "NameHasOwner", &error, &reply, "s", name) >= 0)
            sd_bus_message_read(reply, "b", &has);
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
        if (has)
            return true;
        int status = 0;
        if (waitpid(*owner, &status, WNOHANG) == *owner) {
            *owner = -1;
            error_ = std::string(name) + " stand-in ended: " + readFile(log);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = std::string(name) + " did not appear on the bus: " + readFile(log);
    return false;
}

bool PrivateBus::call(const char* destination, const char* path, const char* member, const char* types, ...)
{
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(control_, &m, destination, path, kMockInterface, member) < 0)
        return false;
    va_list ap;
    va_start(ap, types);
    int r = sd_bus_message_appendv(m, types, ap);
    va_end(ap);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (r >= 0)
        r = sd_bus_call(control_, m, 10 * 1000000ULL, &error, nullptr);
    if (r < 0)
        error_ = std::string(member) + ": " + (error.message ? error.message : std::strerror(-r));
    sd_bus_error_free(&error);
    sd_bus_message_unref(m);
    return r >= 0;
}

std::vector<BusCall> PrivateBus::calls()
{
    std::vector<BusCall> result;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (control_
        && sd_bus_call_method(control_, kTimedatedName, kTimedatedPath, kMockInterface, "GetRecordedCalls", &error,
                              &reply, "")
            >= 0
        && sd_bus_message_enter_container(reply, 'a', "(saxs)") >= 0) {
        while (sd_bus_message_enter_container(reply, 'r', "saxs") > 0) {
            BusCall call;
            const char* text = nullptr;
            sd_bus_message_read(reply, "s", &text);
            call.method = text;
            const void* data = nullptr;
            size_t size = 0;
            sd_bus_message_read_array(reply, 'x', &data, &size);
            const auto* values = static_cast<const std::int64_t*>(data);
            call.args.assign(values, values + size / sizeof(std::int64_t));
            sd_bus_message_read(reply, "s", &text);
            call.error = text;
            sd_bus_message_exit_container(reply);
            result.push_back(call);
        }
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return result;
}

bool PrivateBus::setNtp(bool on)
{
    return call(kTimedatedName, kTimedatedPath, "SetNTPState", "b", int(on));
}

bool PrivateBus::setPolkitAllows(bool allow)
{
    return call(kPolkitName, kPolkitPath, "AllowUnknown", "b", int(allow));
}

bool PrivateBus::failNext(const std::string& method, const std::string& name, const std::string& message)
{
    return call(kTimedatedName, kTimedatedPath, "FailNext", "sss", method.c_str(), name.c_str(), message.c_str());
}

void PrivateBus::stop(pid_t* pid)
{
    if (*pid <= 0)
        return;
    // Signalled only while not yet reaped, so the number is still ours.
    int status = 0;
    if (waitpid(*pid, &status, WNOHANG) == 0) {
        kill(*pid, SIGTERM);
        pid_t done = 0;
        for (int i = 0; i < 200 && (done = waitpid(*pid, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (done == 0) {
            kill(*pid, SIGKILL);
            waitpid(*pid, &status, 0);
        }
    }
    *pid = -1;
}

NoBus::NoBus()
{
    saveAddress(&hadAddress_, &oldAddress_);
    setenv(kAddressVariable, kNoBusAddress, 1);
}

NoBus::~NoBus()
{
    restoreAddress(hadAddress_, oldAddress_);
}
