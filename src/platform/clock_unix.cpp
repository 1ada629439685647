// The clock on Linux: CLOCK_REALTIME is the system date, the C library's
// local time zone turns it into a calendar date.

#include "clock.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include <time.h>

namespace {

constexpr std::int64_t kNsPerSecond = 1000000000;

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool isRealDay(const CivilDate& date)
{
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // tm_year counts from 1900 and must not overflow.
    if (date.year < INT_MIN + 1900 || date.month < 1 || date.month > 12)
        return false;
    const int last = date.month == 2 && isLeapYear(date.year) ? 29 : kDaysInMonth[date.month - 1];
    return date.day >= 1 && date.day <= last;
}

AppError errorFromErrno(int err)
{
    switch (err) {
    case EPERM:
    case EACCES:  // what a security module answers instead of EPERM
        return AppError::permissionDenied();
    case EINVAL:
        return AppError::invalidCall();
    case EIO:
        return {57, std::string("Device I/O error (") + std::strerror(err) + ")", {}, 0};
    default:
        return {51, std::string("Internal error (") + std::strerror(err) + ")", {}, 0};
    }
}

std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

// The instant on `date` whose local wall time of day is that of `now`;
// mktime with tm_isdst -1 takes the daylight-saving rule of the target date.
bool sameTimeOfDayOn(const CivilDate& date, const std::tm& now, time_t* instant)
{
    std::tm tm = now;
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_isdst = -1;
    tm.tm_wday = -1;  // stays -1 only when mktime fails, as -1 is also a valid time
    const time_t t = std::mktime(&tm);
    if (t == time_t(-1) && tm.tm_wday == -1)
        return false;
    // A time of day skipped on the target date (clocks put forward) moves on by
    // the gap; should that leave the date (a day the zone skips), it is refused.
    if (tm.tm_year != date.year - 1900 || tm.tm_mon != date.month - 1 || tm.tm_mday != date.day)
        return false;
    *instant = t;
    return true;
}

class UnixClock final : public SystemClock {
public:
    std::int64_t now() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec;
    }

    std::int64_t steadyMs() const override
    {
        // Boot time, not CLOCK_MONOTONIC: a suspend counts as time passing,
        // as it does for the wall clock that the real date follows.
        timespec ts{};
        clock_gettime(CLOCK_BOOTTIME, &ts);
        return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }

    CivilDate localDate(std::int64_t epochSeconds) const override
    {
        const time_t t = static_cast<time_t>(epochSeconds);
        std::tm tm{};
        tzset();  // localtime_r need not notice a changed TZ by itself
        if (static_cast<std::int64_t>(t) != epochSeconds || localtime_r(&t, &tm) == nullptr
            || tm.tm_year > INT_MAX - 1900)
            return {};
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    }

    AppError setDate(const CivilDate& date) override
    {
        if (!isRealDay(date))
            return AppError::invalidCall();

        const std::int64_t startNs = monotonicNs();
        timespec wall{};
        if (clock_gettime(CLOCK_REALTIME, &wall) != 0)
            return errorFromErrno(errno);
        tzset();
        std::tm local{};
        if (localtime_r(&wall.tv_sec, &local) == nullptr)
            return errorFromErrno(errno);

        time_t target = 0;
        if (!sameTimeOfDayOn(date, local, &target))
            return AppError::invalidCall();

        // The time spent here belongs to the running time of day too.
        const std::int64_t spentNs = monotonicNs() - startNs;
        std::int64_t nsec = wall.tv_nsec + spentNs % kNsPerSecond;
        const std::int64_t extraSeconds = spentNs / kNsPerSecond + nsec / kNsPerSecond;
        nsec %= kNsPerSecond;
        if (target > std::numeric_limits<time_t>::max() - extraSeconds)
            return AppError::invalidCall();

        timespec wanted{};
        wanted.tv_sec = target + static_cast<time_t>(extraSeconds);
        wanted.tv_nsec = static_cast<long>(nsec);
        if (clock_settime(CLOCK_REALTIME, &wanted) != 0)
            return errorFromErrno(errno);
        return AppError::none();
    }
};

}  // namespace

std::unique_ptr<SystemClock> makeSystemClock()
{
    return std::make_unique<UnixClock>();
}
