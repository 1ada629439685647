#pragma once
// Putting things right from a restore record whose program is gone: by the
// guard at once, or by the next start.

#include "clock.h"
#include "restorerecord.h"
#include "timeservice.h"

struct Recovery {
    bool found = false;     // a record of a program that is gone was there
    bool sameBoot = false;  // the real date could be computed and was put back
    CivilDate wasSet;       // the date the record says was in effect
    CivilDate realDate;     // the date put back (same boot only)
    AppError clock;         // putting the real instant back failed
    AppError sync;          // switching time sync back on failed
};

// Puts the real instant back when the record is of this boot, and resumes
// time sync when the record says Ravodor paused it. `interactive` lets the
// system ask for authorisation. `sameBootKnown`: the caller knows the record
// is of this boot (the guard, which the program started), whatever the boot
// ids say. Does not touch the store.
Recovery restoreFromRecord(const RestoreRecord& record, SystemClock& clock, TimeService& service, bool interactive,
                           bool sameBootKnown = false);

// At start-up, before anything else: a record whose program no longer runs is
// acted on and then removed (left in place when the clock could not be put back).
Recovery recoverLeftRecord(RecordStore& store, SystemClock& clock, TimeService& service);
