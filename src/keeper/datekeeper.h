#pragma once
// Keeps the promise: every change away from the real date is made so that it
// can be undone without the program (restore record, guard), with time sync
// paused while, and only while, the date is away from the real one. The
// windows and the command line decide when; this decides in which order; the
// DateChanger (on Linux the guard, which alone may set the clock) how.
//
// An answer that is not confirmed counts as possibly applied: the record
// and the guard stay until the real date is confirmed back.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "apperror.h"
#include "clock.h"
#include "datechanger.h"
#include "recovery.h"
#include "restorerecord.h"

// Why time sync could not be switched, in the words the messages put in brackets.
std::string syncFailureReason(const AppError& error);

class DateKeeper {
public:
    DateKeeper(SystemClock& clock, std::unique_ptr<DateChanger> changer, std::string settingsKey);

    // Acts on a record left by a run that is gone. While it cannot be acted
    // on, it stays and nothing new is altered (setDate answers why).
    Recovery recover();
    // The real instant: the clock while nothing is altered, else the anchor
    // taken before the first change plus the boot-clock time since.
    std::int64_t realInstantNs() const;
    // Its local date in the time zone now in force.
    CivilDate realDate() const;
    // A date away from the real one is (or may be) in effect through this keeper.
    bool altered() const { return altered_; }
    bool syncPaused() const { return syncPaused_; }
    // A set or restore is under way: it may wait for an authorisation
    // prompt while the window's event loop runs, and must not be re-entered.
    bool busy() const { return busy_; }

    // Puts `date` into effect, same time of day; the real date is restore().
    // Errors: 70 (refused, with its cause), 5, kErrSyncNotPaused (its reason
    // as description), kErrNoRecord, kErrTimeService, kErrRecordPending,
    // kErrClockHeld (another change of the machine's clock, in words):
    // nothing changed. kErrUnconfirmed: `date` may be in effect and counts so.
    AppError setDate(const CivilDate& date);

    struct Restored {
        AppError clock;  // the real instant is not confirmed back
        AppError sync;   // time sync could not be switched back on
        explicit operator bool() const { return clock || sync; }
    };
    // Puts the real instant back, resumes time sync where this keeper paused
    // it (once) and removes the record. Sets nothing when nothing is altered.
    // `interactive` lets the system ask for authorisation; an end that must
    // not block passes false.
    Restored restore(bool interactive = true);

    // The guard's process, started now if it does not run yet; 0 when there
    // is none (in-process changes) or it cannot start.
    std::int64_t startGuard() { return changer_->startGuard() ? changer_->guardPid() : 0; }
    // Readable once the guard has ended (-1: nothing to watch).
    int guardEndFd() const { return changer_->guardEndFd(); }
    // The guard ended: a new one takes over while anything is altered.
    // Error when none could be started.
    AppError guardEnded();

    // Told when time sync could not be switched back on (by setDate's way
    // back to the real date too); the caller says so where it can.
    std::function<void(const AppError&)> onSyncNotResumed;

private:
    void anchor();
    AppError startAltering();
    void undoStart();
    AppError resumeSync(bool interactive);
    AppError askWithGuard(const std::function<AppError()>& ask);
    AppError writeRecord();

    SystemClock& clock_;
    std::unique_ptr<DateChanger> changer_;
    RecordStore store_;
    RestoreRecord record_;
    Recovery pending_;  // a left record not acted on yet
    bool altered_ = false;
    bool syncPaused_ = false;
    bool busy_ = false;
};
