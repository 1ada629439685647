// Windows keeps no machine-wide hold: its guard only restores.

#include "clockhold.h"

#include <utility>

std::string clockHoldPath()
{
    return {};
}

ClockHold::ClockHold(std::string path) : path_(std::move(path)) {}

ClockHold::~ClockHold() = default;

AppError ClockHold::take(Purpose, std::int64_t, const HoldNote&, const SystemClock&)
{
    return AppError::none();
}

void ClockHold::note(const HoldNote&) {}

void ClockHold::release() {}

AppError clockHeldElsewhere(const SystemClock&)
{
    return AppError::none();
}
