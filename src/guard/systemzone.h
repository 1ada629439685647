#pragma once
// The guard's time zone is the system's: a zone of its zone folder, or
// /etc/localtime. A TZ of the caller's own making (a rule string with any
// daylight-saving offset, a file elsewhere) would let "the time of day kept"
// land on any instant.

#include <cstdint>

#include "localchanger.h"

// Keeps TZ only when it names a zone file of the system's zone folder (as
// its name there); anything else is unset, so /etc/localtime decides.
void keepOnlySystemZone();

// A move is a whole number of days plus the difference between the UTC
// offsets the system's zone files give at its two ends. The offsets are read
// from those files by their full path, whatever the C library was pointed at.
class SystemZoneLimit final : public ShiftLimit {
public:
    bool allows(std::int64_t fromNs, std::int64_t toNs) const override;
};
