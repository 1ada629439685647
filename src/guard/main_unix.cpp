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
// Each change it makes with its own right is told to the system log first
// (systemlog.h): who, which request, what, when, and what the caller says.
//
// Exit status: 0 nothing to undo, 3 put right, 4 not put right, 2 bad call,
// 5 a capable copy that is not the installed file.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <poll.h>
#include <sys/auxv.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "clock.h"
#include "guardprocess.h"
#include "guardprotocol.h"
#include "localchanger.h"
#include "machinehold.h"
#include "processinfo.h"
#include "systemlog.h"
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
    // It needs nothing of the caller's environment, not even its zone.
    ::clearenv();
    return true;
}

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
    useSystemZone();
    prepareGuard();

    // Connected before any request: from the start the guard knows whether its changes can be told.
    SystemLog log;
    const auto clock = makeSystemClock();
    const auto service = makeTimeService();
    const SystemZoneLimit limit;
    LocalChanger changer(*clock, *service, &limit, &log);
    StepWatch steps(*clock);
    MachineHold hold(*clock);

    LineReader input;
    bool ended = false;
    while (!ended) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {steps.fd(), POLLIN, 0}};
        if (!input.pending() && poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            log.serving("a step of the clock");
            changer.clockStepped(steps.take(), true);
            hold.after(changer);
        }
        if (!input.pending() && !(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        std::string line;
        const int got = input.next(&line);
        GuardRequest request;
        if (got == 0)
            ended = true;
        else if (got < 0 || !parseRequest(line, &request))
            answer(AppError::invalidCall());
        else {
            log.serving(formatRequest(request));
            const AppError refused = hold.before(request, changer);
            answer(refused ? refused : serve(request, changer));
            hold.after(changer);
        }
        steps.take();  // its own steps are no news
    }

    // The program has ended: what it left changed is undone here. The
    // desktop session's authorisation agent can still ask the user.
    log.serving("end of input");
    const bool hadWork = changer.changed() || changer.syncPaused();
    const bool clockBack = !changer.undo(true);
    if (changer.syncPaused())
        changer.setSync(true, true);
    while (changer.awaitingLateShift(clock->bootNs())) {
        pollfd watch = {steps.fd(), POLLIN, 0};
        if (poll(&watch, 1, 1000) > 0) {
            log.serving("a step of the clock");
            changer.clockStepped(steps.take(), true);
        }
    }
    // Not put right: the hold goes with this process, and its note tells
    // everyone else the date was left changed until the owner's next start.
    hold.after(changer);
    if (!hadWork)
        return kNothingToDo;
    return clockBack && !changer.changed() ? kPutRight : kNotPutRight;
}
