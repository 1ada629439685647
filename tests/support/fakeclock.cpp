#include "fakeclock.h"

#include <QDateTime>

FakeClock::FakeClock(const QDate& today, int secondsOfDay, const QByteArray& zone)
    : zone_(zone.isEmpty() ? QTimeZone::utc() : QTimeZone(zone))
{
    const QDateTime local(today, QTime(0, 0).addSecs(secondsOfDay), zone_);
    wallNs_ = local.toSecsSinceEpoch() * kNsPerSecond;
}

QDate FakeClock::date() const
{
    return QDateTime::fromSecsSinceEpoch(now(), zone_).date();
}

CivilDate FakeClock::localDate(std::int64_t epochSeconds) const
{
    const QDate d = QDateTime::fromSecsSinceEpoch(epochSeconds, zone_).date();
    return {d.year(), d.month(), d.day()};
}

AppError FakeClock::instantOn(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs) const
{
    const QDate day(date.year, date.month, date.day);
    if (!day.isValid())
        return AppError::invalidCall();
    const std::int64_t fromSeconds = floorSeconds(fromNs);
    const QDateTime from = QDateTime::fromSecsSinceEpoch(fromSeconds, zone_);
    const int offsetBefore = zone_.offsetFromUtc(from);
    // The wall time wanted, counted as if it were UTC.
    const std::int64_t wall = QDateTime(day, from.time(), QTimeZone::utc()).toSecsSinceEpoch();
    const int candidates[] = {offsetBefore, zone_.offsetFromUtc(QDateTime::fromSecsSinceEpoch(wall - 14 * 3600)),
                              zone_.offsetFromUtc(QDateTime::fromSecsSinceEpoch(wall + 14 * 3600))};
    // The first offset that names the wall time exactly: the one in effect
    // before the set wins a fold.
    for (int offset : candidates) {
        if (zone_.offsetFromUtc(QDateTime::fromSecsSinceEpoch(wall - offset)) == offset) {
            *instantNs = (wall - offset) * kNsPerSecond + (fromNs - fromSeconds * kNsPerSecond);
            return AppError::none();
        }
    }
    // In a gap the time moves forward by it, and must stay on the date.
    const std::int64_t moved = wall - candidates[1];
    if (QDateTime::fromSecsSinceEpoch(moved, zone_).date() != day)
        return AppError::invalidCall();
    *instantNs = moved * kNsPerSecond + (fromNs - fromSeconds * kNsPerSecond);
    return AppError::none();
}

AppError FakeClock::setInstant(std::int64_t epochNs)
{
    ++attempts;
    if (failure_)
        return failure_;
    // The kernel takes no time before the epoch.
    if (epochNs < 0)
        return AppError::invalidCall();
    wallNs_ = epochNs;
    sets.push_back(date());
    instants.push_back(epochNs);
    return AppError::none();
}

void FakeClock::advanceNs(std::int64_t ns)
{
    wallNs_ += ns;
    bootNs_ += ns;
}

void FakeClock::setZone(const QByteArray& zone)
{
    zone_ = QTimeZone(zone);
}

void FakeClock::shiftByService(std::int64_t ns)
{
    wallNs_ += ns;
    sets.push_back(date());
    instants.push_back(wallNs_);
}
