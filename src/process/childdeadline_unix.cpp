#include "childdeadline.h"

#include <cmath>
#include <csignal>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

// Time enough to close files and remove what the command made.
constexpr double kGraceSeconds = 2;

void arm(int timer, double seconds)
{
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(seconds);
    when.it_value.tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
    // Zero would disarm it.
    if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
        when.it_value.tv_nsec = 1;
    ::timerfd_settime(timer, 0, &when, nullptr);
}

}  // namespace

ChildDeadline::ChildDeadline(const ChildCommand& child, double seconds) : child_(child)
{
    if (seconds <= 0)
        return;
    // The boot clock: a suspend counts, a change of the date does not.
    timer_ = ::timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (timer_ >= 0)
        arm(timer_, seconds);
}

ChildDeadline::~ChildDeadline()
{
    if (timer_ >= 0)
        ::close(timer_);
}

ChildWatch ChildDeadline::watch()
{
    if (timer_ < 0)
        return {};
    return {timer_, [this] {
                std::uint64_t expirations = 0;
                (void)!::read(timer_, &expirations, sizeof expirations);
                // run() polls the watch only until the command has ended, and
                // reaps it only after: the number is still the command's.
                const pid_t pid = static_cast<pid_t>(child_.lastPid());
                // 0 would name this program's own process group.
                if (pid <= 0)
                    return -1;
                if (expired_) {
                    ::kill(pid, SIGKILL);
                    return -1;
                }
                expired_ = true;
                ::kill(pid, SIGTERM);
                arm(timer_, kGraceSeconds);
                return timer_;
            }};
}
