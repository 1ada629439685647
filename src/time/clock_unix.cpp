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
bool sameTimeOfDayOn(const CivilDate& date, const std::tm& now, time_t* instant)
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
        return true;
    }
    if (standard || daylight) {
        *instant = standard ? first : second;
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
    return true;
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
        if (!isRealDay(date))
            return AppError::invalidCall();
        const std::int64_t seconds = floorSeconds(fromNs);
        const time_t from = static_cast<time_t>(seconds);
        tzset();
        std::tm local{};
        if (localtime_r(&from, &local) == nullptr)
            return errorFromErrno(errno);
        time_t target = 0;
        if (!sameTimeOfDayOn(date, local, &target))
            return AppError::invalidCall();
        const std::int64_t fraction = fromNs - seconds * kNsPerSecond;
        if (target > (std::numeric_limits<std::int64_t>::max() - fraction) / kNsPerSecond)
            return AppError::invalidCall();
        *instantNs = std::int64_t(target) * kNsPerSecond + fraction;
        return AppError::none();
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
