#pragma once
// The guard's time zone is the machine's: /etc/localtime alone. Any zone of
// the caller's (a name, a file, a rule string) would let "the time of day
// kept" land on another instant, and its offset difference widen the limit.

#include <cstdint>

#include "localchanger.h"

// Forgets TZ, whatever it names: /etc/localtime decides from here on.
void useSystemZone();

// A move is a whole number of days plus the difference between the UTC
// offsets the system's zone gives at its two ends.
class SystemZoneLimit final : public ShiftLimit {
public:
    bool allows(std::int64_t fromNs, std::int64_t toNs) const override;
};
