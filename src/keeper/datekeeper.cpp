#include "datekeeper.h"

#include <utility>

DateKeeper::DateKeeper(SystemClock& clock, TimeService& service, std::string settingsKey, GuardProcess* guard)
    : clock_(clock), service_(service), store_(std::move(settingsKey)), guard_(guard)
{
}

void DateKeeper::anchor()
{
    record_.anchorBootNs = clock_.bootNs();
    record_.anchorWallNs = clock_.nowNs();
}

std::int64_t DateKeeper::realInstantNs() const
{
    return record_.realInstantAt(clock_.bootNs());
}

CivilDate DateKeeper::realDate() const
{
    return clock_.localDate(SystemClock::floorSeconds(realInstantNs()));
}

AppError DateKeeper::setDate(const CivilDate& date)
{
    if (date == realDate())
        return restore().clock;
    if (AppError error = clock_.setDate(date))
        return error;
    altered_ = true;
    return AppError::none();
}

DateKeeper::Restored DateKeeper::restore()
{
    Restored result;
    result.clock = setInstant(realInstantNs());
    if (!result.clock)
        altered_ = false;
    return result;
}

AppError DateKeeper::setInstant(std::int64_t epochNs)
{
    return clock_.setInstant(epochNs);
}

AppError DateKeeper::pauseSync()
{
    return AppError::none();
}

AppError DateKeeper::writeRecord(const CivilDate&)
{
    return AppError::none();
}
