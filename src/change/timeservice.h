#pragma once
// The system's own time service: where the right to set the clock comes from
// the system's authorisation, and where automatic time sync is switched.
// On Linux systemd-timedated over the system bus; on Windows there is none.

#include <cstdint>
#include <memory>

#include "apperror.h"

enum class SyncState {
    None,  // no time service, or it has no automatic sync: nothing to pause
    Off,
    On,
};

class TimeService {
public:
    virtual ~TimeService() = default;

    // Whether the service can be asked at all (a bus, and the service on it).
    virtual bool available() = 0;
    virtual SyncState syncState() = 0;
    // Switches automatic sync and waits, for a bounded time, until the
    // service reports the new state. `interactive` lets the system ask the
    // user for authorisation. Refused or cancelled: 70 (kRefusalAuthDenied;
    // interactionRequired() when a quiet call would have needed a prompt);
    // accepted but not reported in time, or not answered: kErrUnconfirmed.
    virtual AppError setSync(bool on, bool interactive) = 0;
    // Moves the clock by `deltaUs` microseconds, measured when the service
    // acts, so that time spent in an authorisation prompt is not lost.
    // 70 when refused or cancelled, kErrSyncStillOn when the service still
    // refuses because sync is on, 5 for arguments it rejects,
    // kErrUnconfirmed when no answer came (it may still be carried out),
    // kErrTimeService (D-Bus error name and message) for anything else.
    virtual AppError shiftClock(std::int64_t deltaUs, bool interactive) = 0;
};

// The system's time service (timeservice_unix.cpp / timeservice_win.cpp).
std::unique_ptr<TimeService> makeTimeService();
