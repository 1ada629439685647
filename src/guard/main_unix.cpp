// ravodor-guard: the one program that may be given the right to set the
// clock (setcap cap_sys_time+ep on its installed file). The window and
// --at start it with their first change and ask it for each change on its
// standard input (guardprotocol.h); it answers on its standard output.
// When the program ends, however, its end closes that input: the guard then
// undoes what it changed and switches sync back on where it switched it off,
// and stays while a shift that never answered may still land.
//
// It takes no arguments and reads no file the user names: a restore record
// reaches it only as a request, so it can lead to no more than a Set.
//
// Each change it makes with its own right leaves a line in the system log
// (syslog reaches the journal too): who, through which program, what, when.
//
// Exit status: 0 nothing to undo, 3 put right, 4 not put right, 2 bad call,
// 5 a capable copy that is not the installed file.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include <poll.h>
#include <pwd.h>
#include <sys/auxv.h>
#include <sys/timerfd.h>
#include <syslog.h>
#include <unistd.h>

#include "clock.h"
#include "guardprocess.h"
#include "guardprotocol.h"
#include "localchanger.h"
#include "processinfo.h"
#include "systemzone.h"
#include "timeservice.h"

namespace {

enum Status { kNothingToDo = 0, kBadCall = 2, kPutRight = 3, kNotPutRight = 4, kNotInstalled = 5 };

// With the right, only the installed file may run: a hard link or copy in
// the user's folder would run beside files the user chose.
bool installedOrUnprivileged()
{
    if (getauxval(AT_SECURE) == 0)
        return true;
    if (currentProgramPath() != RAVODOR_GUARD_INSTALLED)
        return false;
    // The time zone is all it needs, and only a system zone (keepOnlySystemZone).
    const char* zone = std::getenv("TZ");
    const std::string kept = zone ? zone : "";
    ::clearenv();
    if (zone)
        ::setenv("TZ", kept.c_str(), 1);
    return true;
}

// A line the administrator can read: bytes outside printable ASCII as \xHH.
std::string printable(const std::string& text, std::size_t most)
{
    std::string shown;
    for (const char c : text.substr(0, most)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        shown += c >= ' ' && c <= '~' && c != '\\' ? std::string(1, c) : escaped;
    }
    return text.size() > most ? shown + "..." : shown;
}

// The user and the program that asked, read once at the start: a program
// that has ended by the time of the way back has no /proc entry left.
std::string whoAsked()
{
    const uid_t uid = getuid();
    passwd entry{}, *found = nullptr;
    char names[4096];
    const bool named = getpwuid_r(uid, &entry, names, sizeof names, &found) == 0 && found;
    const pid_t parent = getppid();
    const std::string proc = "/proc/" + std::to_string(parent);
    char exe[4096];
    const ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof exe - 1);
    // The file is the kernel's word; the arguments (window or --at) are the program's.
    std::ifstream in(proc + "/cmdline");
    std::string words((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!words.empty() && words.back() == '\0')
        words.pop_back();
    for (char& c : words)
        c = c == '\0' ? ' ' : c;
    return printable(named ? found->pw_name : "?", 64) + " (uid " + std::to_string(uid) + ") through "
           + (length > 0 ? printable(std::string(exe, static_cast<size_t>(length)), 256) : "?") + " (pid "
           + std::to_string(parent) + ": " + printable(words, 200) + ")";
}

// Whether a set of the wall clock could reach the system's clock: without
// the right, only a stand-in clock (a test's) takes it.
bool holdsClockRight()
{
    constexpr int kCapSysTime = 25;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> kCapSysTime) & 1U;
    }
    return false;
}

// One line a change, to syslog as sudo does (authpriv); without secure
// execution RAVODOR_GUARD_LOG may name a file that takes the lines instead.
class SystemLog final : public ChangeLog {
public:
    SystemLog()
    {
        const char* file = getauxval(AT_SECURE) == 0 ? std::getenv("RAVODOR_GUARD_LOG") : nullptr;
        if (file)
            file_ = std::fopen(file, "ae");
        else if (holdsClockRight())
            ::openlog("ravodor-guard", LOG_PID, LOG_AUTHPRIV);
        else
            return;
        who_ = whoAsked();
        on_ = true;
    }
    ~SystemLog() override
    {
        if (file_)
            std::fclose(file_);
    }
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void clockSet(const CivilDate& date, std::int64_t instantNs) override
    {
        if (!on_)
            return;
        const time_t t = static_cast<time_t>(SystemClock::floorSeconds(instantNs));
        std::tm utc{};
        char instant[64] = "?";
        if (gmtime_r(&t, &utc))
            std::strftime(instant, sizeof instant, "%Y-%m-%dT%H:%M:%SZ", &utc);
        const std::string what = date.isNull() ? "the way back" : "date " + isoDate(date);
        const std::string line = who_ + ": " + what + ", clock set to " + instant;
        if (file_) {
            std::fprintf(file_, "%s\n", line.c_str());
            std::fflush(file_);
        } else {
            ::syslog(LOG_NOTICE, "%s", line.c_str());
        }
    }

private:
    bool on_ = false;
    std::FILE* file_ = nullptr;
    std::string who_;
};

// Reads one line from standard input; false at its end.
class LineReader {
public:
    // 1: a line in `line`; 0: the input ended; -1: a line too long (skipped).
    int next(std::string* line)
    {
        for (;;) {
            const std::string::size_type newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                *line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                const bool tooLong = skipping_;
                skipping_ = false;
                return tooLong || line->size() > kGuardLineMax ? -1 : 1;
            }
            if (buffer_.size() > kGuardLineMax) {
                buffer_.clear();
                skipping_ = true;
            }
            if (!fill())
                return 0;
        }
    }
    bool pending() const { return buffer_.find('\n') != std::string::npos; }

private:
    bool fill()
    {
        char chunk[512];
        ssize_t got;
        while ((got = read(STDIN_FILENO, chunk, sizeof chunk)) < 0 && errno == EINTR) {
        }
        if (got <= 0)
            return false;
        buffer_.append(chunk, static_cast<size_t>(got));
        return true;
    }

    std::string buffer_;
    bool skipping_ = false;
};

// Notices steps of the wall clock (settimeofday, a landing SetTime): the
// timer is cancelled whenever CLOCK_REALTIME is set.
class StepWatch {
public:
    explicit StepWatch(SystemClock& clock) : clock_(clock)
    {
        fd_ = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
        rearm();
    }
    ~StepWatch()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int fd() const { return fd_; }
    // The step since the last look; 0 when there was none.
    std::int64_t take()
    {
        std::uint64_t expirations = 0;
        const bool stepped = fd_ >= 0 && read(fd_, &expirations, sizeof expirations) < 0 && errno == ECANCELED;
        const std::int64_t before = offset_;
        rearm();
        return stepped ? offset_ - before : 0;
    }

private:
    void rearm()
    {
        offset_ = clock_.nowNs() - clock_.bootNs();
        if (fd_ < 0)
            return;
        itimerspec far{};
        far.it_value.tv_sec = 0x7fffffff;  // never expires; only a step cancels it
        timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr);
    }

    SystemClock& clock_;
    int fd_ = -1;
    std::int64_t offset_ = 0;
};

AppError serve(const GuardRequest& request, LocalChanger& changer)
{
    switch (request.kind) {
    case GuardRequest::SyncState: {
        const SyncState state = changer.syncState();
        return {0, state == SyncState::On ? "on" : state == SyncState::Off ? "off" : "none", {}, 0};
    }
    case GuardRequest::SyncOff: return changer.setSync(false, request.interactive);
    case GuardRequest::SyncOn: return changer.setSync(true, request.interactive);
    case GuardRequest::Date: return changer.setDate(request.date, request.interactive);
    case GuardRequest::Undo: return changer.undo(request.interactive);
    case GuardRequest::Adopt: return changer.adopt(request.date, request.syncPaused);
    }
    return AppError::invalidCall();
}

void answer(const AppError& result)
{
    const std::string line = formatAnswer(result) + '\n';
    // A program that is gone reads nothing: SIGPIPE is ignored, the write fails.
    if (write(STDOUT_FILENO, line.data(), line.size()) < 0) {
    }
}

}  // namespace

int main(int argc, char**)
{
    if (argc != 1)
        return kBadCall;
    if (!installedOrUnprivileged())
        return kNotInstalled;
    keepOnlySystemZone();
    prepareGuard();

    const auto clock = makeSystemClock();
    const auto service = makeTimeService();
    const SystemZoneLimit limit;
    SystemLog log;
    LocalChanger changer(*clock, *service, &limit, &log);
    StepWatch steps(*clock);

    LineReader input;
    bool ended = false;
    while (!ended) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {steps.fd(), POLLIN, 0}};
        if (!input.pending() && poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            changer.clockStepped(steps.take(), true);
        if (!input.pending() && !(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        std::string line;
        const int got = input.next(&line);
        GuardRequest request;
        if (got == 0)
            ended = true;
        else if (got < 0 || !parseRequest(line, &request))
            answer(AppError::invalidCall());
        else
            answer(serve(request, changer));
        steps.take();  // its own steps are no news
    }

    // The program has ended: what it left changed is undone here. The
    // desktop session's authorisation agent can still ask the user.
    const bool hadWork = changer.changed() || changer.syncPaused();
    const bool clockBack = !changer.undo(true);
    if (changer.syncPaused())
        changer.setSync(true, true);
    while (changer.awaitingLateShift(clock->bootNs())) {
        pollfd watch = {steps.fd(), POLLIN, 0};
        if (poll(&watch, 1, 1000) > 0)
            changer.clockStepped(steps.take(), true);
    }
    if (!hadWork)
        return kNothingToDo;
    return clockBack && !changer.changed() ? kPutRight : kNotPutRight;
}
