#include "clock.h"

#include <limits>

bool CivilDate::isCalendarDay() const
{
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day >= 1 && day <= (month == 2 && leap ? 29 : kDaysInMonth[month - 1]);
}

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
