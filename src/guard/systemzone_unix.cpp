#include "systemzone.h"

#include <cstdlib>
#include <ctime>

namespace {

// The UTC offset the system's zone gives at `seconds`; false past its range.
bool offsetAt(std::int64_t seconds, long* offset)
{
    const time_t t = static_cast<time_t>(seconds);
    std::tm tm{};
    if (static_cast<std::int64_t>(t) != seconds || localtime_r(&t, &tm) == nullptr)
        return false;
    *offset = tm.tm_gmtoff;
    return true;
}

std::int64_t floorMod(std::int64_t value, std::int64_t divisor)
{
    return ((value % divisor) + divisor) % divisor;
}

}  // namespace

void useSystemZone()
{
    ::unsetenv("TZ");
    ::tzset();
}

bool SystemZoneLimit::allows(std::int64_t fromNs, std::int64_t toNs) const
{
    // A time of day the target date skips moves on by the gap: the offset
    // of the day before then stands for the target's.
    const std::int64_t from = SystemClock::floorSeconds(fromNs), to = SystemClock::floorSeconds(toNs);
    long fromOffset = 0;
    if (!offsetAt(from, &fromOffset))
        return false;
    const std::int64_t moveNs = toNs - fromNs;
    for (const std::int64_t end : {to, to - 86400}) {
        long toOffset = 0;
        if (offsetAt(end, &toOffset) && floorMod(moveNs + (toOffset - fromOffset) * kNsPerSecond, kNsPerDay) == 0)
            return true;
    }
    return false;
}
