// The clock on Linux: CLOCK_REALTIME is the system date, the C library's
// local time zone turns it into a calendar date.

#include "clock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

bool isRealDay(const CivilDate& date)
{
    // tm_year counts from 1900 and must not overflow.
    return date.year >= INT_MIN + 1900 && date.isCalendarDay();
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

// The local wall time of `wanted` read with daylight-saving flag `isdst`;
// false unless it names exactly that wall time (so not in a gap).
bool exactLocal(const std::tm& wanted, int isdst, time_t* instant, long* offset)
{
    std::tm tm = wanted;
    tm.tm_isdst = isdst;
    tm.tm_wday = -1;  // stays -1 only when mktime fails, as -1 is also a valid time
    const time_t t = std::mktime(&tm);
    if ((t == time_t(-1) && tm.tm_wday == -1) || tm.tm_year != wanted.tm_year || tm.tm_mon != wanted.tm_mon
        || tm.tm_mday != wanted.tm_mday || tm.tm_hour != wanted.tm_hour || tm.tm_min != wanted.tm_min
        || tm.tm_sec != wanted.tm_sec)
        return false;
    *instant = t;
    *offset = tm.tm_gmtoff;
    return true;
}

// The instant on `date` whose local wall time of day is that of `now`.
bool sameTimeOfDayOn(const CivilDate& date, const std::tm& now, time_t* instant, TimeFit* fit)
{
    std::tm wanted = now;
    wanted.tm_year = date.year - 1900;
    wanted.tm_mon = date.month - 1;
    wanted.tm_mday = date.day;

    // A wall time the autumn change passes twice: keep the UTC offset in
    // effect before the set, so the clock is not put an hour out.
    time_t first = 0, second = 0;
    long firstOffset = 0, secondOffset = 0;
    const bool standard = exactLocal(wanted, 0, &first, &firstOffset);
    const bool daylight = exactLocal(wanted, 1, &second, &secondOffset);
    if (standard && daylight && first != second) {
        *instant = secondOffset == now.tm_gmtoff ? second : first;
        *fit = TimeFit::Repeated;
        return true;
    }
    if (standard || daylight) {
        *instant = standard ? first : second;
        *fit = TimeFit::Exact;
        return true;
    }

    // A time of day skipped on the target date (clocks put forward) moves on by
    // the gap; should that leave the date (a day the zone skips), it is refused.
    std::tm tm = wanted;
    tm.tm_isdst = -1;
    tm.tm_wday = -1;
    const time_t t = std::mktime(&tm);
    if (t == time_t(-1) && tm.tm_wday == -1)
        return false;
    if (tm.tm_year != wanted.tm_year || tm.tm_mon != wanted.tm_mon || tm.tm_mday != wanted.tm_mday)
        return false;
    *instant = t;
    *fit = TimeFit::Skipped;
    return true;
}

// The second on `date` at `secondOfDay`, or at the local time of day of
// `fromSecond` when that is negative.
AppError secondAt(const CivilDate& date, int secondOfDay, std::int64_t fromSecond, time_t* target, TimeFit* fit)
{
    if (!isRealDay(date))
        return AppError::invalidCall();
    const time_t from = static_cast<time_t>(fromSecond);
    tzset();
    std::tm local{};
    if (localtime_r(&from, &local) == nullptr)
        return errorFromErrno(errno);
    if (secondOfDay >= 0) {
        local.tm_hour = secondOfDay / 3600;
        local.tm_min = secondOfDay / 60 % 60;
        local.tm_sec = secondOfDay % 60;
    }
    TimeFit fitted = TimeFit::Exact;
    if (!sameTimeOfDayOn(date, local, target, &fitted))
        return AppError::invalidCall();
    if (fit)
        *fit = fitted;
    return AppError::none();
}

// The instant on `date` at the local time of day of `fromNs`.
AppError instantAt(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs)
{
    const std::int64_t seconds = SystemClock::floorSeconds(fromNs);
    time_t target = 0;
    if (const AppError error = secondAt(date, -1, seconds, &target, nullptr))
        return error;
    const std::int64_t fraction = fromNs - seconds * kNsPerSecond;
    // Nanoseconds reach from 1677 to 2262 only.
    if (target > (std::numeric_limits<std::int64_t>::max() - fraction) / kNsPerSecond
        || target < std::numeric_limits<std::int64_t>::min() / kNsPerSecond + 1)
        return AppError::invalidCall();
    *instantNs = std::int64_t(target) * kNsPerSecond + fraction;
    return AppError::none();
}

class UnixClock final : public SystemClock {
public:
    std::int64_t nowNs() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
    }

    std::int64_t bootNs() const override
    {
        // Boot time, not CLOCK_MONOTONIC: a suspend counts as time passing,
        // as it does for the wall clock that the real date follows.
        timespec ts{};
        clock_gettime(CLOCK_BOOTTIME, &ts);
        return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
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

    AppError instantOn(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs) const override
    {
        return instantAt(date, fromNs, instantNs);
    }

    AppError setInstant(std::int64_t epochNs) override
    {
        timespec wanted{};
        wanted.tv_sec = static_cast<time_t>(floorSeconds(epochNs));
        wanted.tv_nsec = static_cast<long>(epochNs - floorSeconds(epochNs) * kNsPerSecond);
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

std::int64_t unfakedNowNs()
{
    // libfaketime replaces clock_gettime(), not the system call.
    timespec ts{};
    syscall(SYS_clock_gettime, CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

AppError localSecondOn(const CivilDate& date, int secondOfDay, std::int64_t fromSecond, std::int64_t* second,
                       TimeFit* fit)
{
    if (secondOfDay >= 24 * 3600)
        return AppError::invalidCall();
    time_t target = 0;
    if (const AppError error = secondAt(date, secondOfDay, fromSecond, &target, fit))
        return error;
    *second = target;
    return AppError::none();
}

void settableSeconds(std::int64_t* first, std::int64_t* last)
{
    // The kernel keeps thirty years of uptime in nanoseconds clear of overflow.
    constexpr std::int64_t kKernelLast = std::numeric_limits<std::int64_t>::max() / kNsPerSecond - 946080000 - 1;
    *first = 0;
    *last = std::min<std::int64_t>(kKernelLast, std::numeric_limits<time_t>::max());
}
