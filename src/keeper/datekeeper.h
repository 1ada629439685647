#pragma once
// Keeps the promise: every change away from the real date is made so that it
// can be undone without the program (restore record, guard), with time sync
// paused while, and only while, the date is away from the real one. The
// windows and the command line decide when; this decides in which order.

#include <cstdint>
#include <functional>
#include <string>

#include "apperror.h"
#include "clock.h"
#include "guard.h"
#include "recovery.h"
#include "restorerecord.h"
#include "timeservice.h"

class DateKeeper {
public:
    // guard may be null (tests, or a system without one).
    DateKeeper(SystemClock& clock, TimeService& service, std::string settingsKey, GuardProcess* guard);

    // Acts on a record left by a program that is gone. Call before anchor().
    Recovery recover();
    // Takes the real instant: the wall clock and the boot clock now.
    void anchor();
    // The real instant: the anchor plus the boot-clock time since.
    std::int64_t realInstantNs() const;
    // Its local date in the time zone now in force.
    CivilDate realDate() const;
    // A date away from the real one is in effect through this keeper.
    bool altered() const { return altered_; }
    bool syncPaused() const { return syncPaused_; }
    // A set or restore is under way: it may wait for an authorisation
    // prompt while the window's event loop runs, and must not be re-entered.
    bool busy() const { return busy_; }

    // Puts `date` into effect, same time of day; the real date is restore().
    // Errors: 70 (refused, with its cause), 5, kErrSyncNotPaused (its reason
    // as description), kErrNoRecord, kErrTimeService. Nothing changes on error.
    AppError setDate(const CivilDate& date);

    struct Restored {
        AppError clock;  // the real instant could not be put back
        AppError sync;   // time sync could not be switched back on
        explicit operator bool() const { return clock || sync; }
    };
    // Puts the real instant back, resumes time sync where this keeper paused
    // it (once) and removes the record. `interactive` lets the system ask for
    // authorisation; an end that must not block passes false.
    Restored restore(bool interactive = true);

    // Told when time sync could not be switched back on (by setDate's way
    // back to the real date too); the caller says so where it can.
    std::function<void(const AppError&)> onSyncNotResumed;

private:
    AppError setInstant(std::int64_t epochNs, bool interactive);
    AppError setAway(const CivilDate& date);
    AppError startAltering();
    void undoStart();
    AppError resumeSync(bool interactive);

    SystemClock& clock_;
    TimeService& service_;
    RecordStore store_;
    GuardProcess* guard_;
    RestoreRecord record_;
    bool altered_ = false;
    bool syncPaused_ = false;
    bool busy_ = false;
};
