#include "clock.h"

#include <cstdio>
#include <limits>

bool CivilDate::isCalendarDay() const
{
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day >= 1 && day <= (month == 2 && leap ? 29 : kDaysInMonth[month - 1]);
}

std::string isoDate(const CivilDate& date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

bool parseIsoDate(const std::string& text, CivilDate* date)
{
    if (text.size() != 10)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? text[i] != '-' : (text[i] < '0' || text[i] > '9'))
            return false;
    }
    const CivilDate parsed{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2))};
    if (parsed.year < 1 || !parsed.isCalendarDay())
        return false;
    *date = parsed;
    return true;
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
