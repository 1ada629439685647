#include "fakeclock.h"

#include <QDateTime>
#include <QTimeZone>

namespace {
std::int64_t epochOf(const QDate& date, std::int64_t secondsOfDay)
{
    return QDateTime(date, QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch() + secondsOfDay;
}
}  // namespace

FakeClock::FakeClock(const QDate& today, int secondsOfDay) : wall_(epochOf(today, secondsOfDay)) {}

QDate FakeClock::DateOf(std::int64_t epochSeconds)
{
    return QDateTime::fromSecsSinceEpoch(epochSeconds, QTimeZone::utc()).date();
}

CivilDate FakeClock::localDate(std::int64_t epochSeconds) const
{
    const QDate d = DateOf(epochSeconds);
    return {d.year(), d.month(), d.day()};
}

AppError FakeClock::setDate(const CivilDate& date)
{
    ++attempts;
    if (failure_)
        return failure_;
    const QDate wanted(date.year, date.month, date.day);
    // The kernel takes no date before the epoch.
    if (!wanted.isValid() || wanted.year() < 1970)
        return AppError::invalidCall();
    const std::int64_t secondsOfDay = wall_ - epochOf(DateOf(wall_), 0);
    wall_ = epochOf(wanted, secondsOfDay);
    sets.push_back(wanted);
    return AppError::none();
}

void FakeClock::advance(std::int64_t seconds)
{
    wall_ += seconds;
    steadyMs_ += seconds * 1000;
}
