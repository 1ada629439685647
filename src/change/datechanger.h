#pragma once
// What may change the clock, and no more: the local date moved by whole days
// with the time of day kept, the way back to the real instant, and time sync.
// On Linux only the guard holds this right (guard_unix.cpp talks to it);
// tests and Windows change the clock in-process (LocalChanger).
//
// Every answer is confirmed (none()), refused (an error: nothing changed), or
// kErrUnconfirmed: the outcome is not known, so it counts as possibly made.

#include <cstdint>

#include "apperror.h"
#include "clock.h"
#include "timeservice.h"

class DateChanger {
public:
    virtual ~DateChanger() = default;

    virtual SyncState syncState() = 0;
    // Switches automatic sync and waits until the service reports it.
    virtual AppError setSync(bool on, bool interactive) = 0;
    // The local date becomes `date`, the local time of day running on. The
    // first change after the real instant anchors the real instant first.
    virtual AppError setDate(const CivilDate& date, bool interactive) = 0;
    // Back to the anchored real instant plus the time since; nothing when
    // nothing was changed.
    virtual AppError undo(bool interactive) = 0;
    // Takes over what others changed (a guard that ended, a program that is
    // gone), in place of what this changer knew: the real date is `realDate`
    // (null: the real date is in effect), the time of day the clock's;
    // `syncPaused`: sync is to be switched on at the end.
    virtual AppError adopt(const CivilDate& realDate, bool syncPaused) = 0;

    // The process that undoes these changes should the program end without
    // doing so; 0 when the program itself is the only one (in-process).
    virtual std::int64_t guardPid() const { return 0; }
    // Starts the guard now rather than with the first request (an
    // authorisation agent must know its process first); true when it runs.
    virtual bool startGuard() { return true; }
    // Readable once the guard has ended (-1: none to watch).
    virtual int guardEndFd() const { return -1; }
    // The guard ended: false where there is one and it is not running.
    virtual bool guardRunning() { return true; }
    // Starts a new guard after the last one ended; false when it cannot.
    virtual bool restartGuard() { return true; }
};
