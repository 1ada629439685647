#include "clock.h"

#include <limits>

AppError SystemClock::setDate(const CivilDate& date)
{
    const std::int64_t startBoot = bootNs();
    std::int64_t target = 0;
    if (AppError error = instantOn(date, nowNs(), &target))
        return error;
    // The time spent here belongs to the running time of day too.
    const std::int64_t spent = bootNs() - startBoot;
    if (target > std::numeric_limits<std::int64_t>::max() - spent)
        return AppError::invalidCall();
    return setInstant(target + spent);
}
