#pragma once
// Putting things right from a restore record whose program is gone: by the
// Windows guard at once, or by the next start. Only through a DateChanger,
// and only by whole days: a record the user may edit can lead to no more
// than a Set.

#include <cstdint>
#include <string>

#include "clock.h"
#include "datechanger.h"
#include "restorerecord.h"

struct Recovery {
    bool found = false;     // a record of a program that is gone was there
    bool sameBoot = false;  // the real date could be computed
    CivilDate wasSet;       // the date the record says was in effect
    CivilDate realDate;     // the real date (same boot only)
    bool wasRight = false;  // the real date was in effect already: the guard had put it back
    AppError clock;         // putting the real date back failed
    AppError sync;          // switching time sync back on failed
    // Not acted on (yet): the record stays, and nothing new may be altered.
    std::int64_t running = 0;  // the process of the program that wrote it, still running: the record is its own
    bool guardBusy = false;    // the guard of that run still runs: it undoes its own changes
    std::string otherMachine;  // the record is of this other machine, whose clock this one cannot see
    bool pending() const { return running > 0 || guardBusy || !otherMachine.empty() || clock; }
    // Nothing the user has to hear of: the date was back and sync runs.
    bool nothingToTell() const { return !found || (wasRight && !pending() && !sync); }
};

// Puts the real date back when the record is of this boot, and resumes
// time sync when the record says Ravodor paused it. `sameBootKnown`: the
// caller knows the record is of this boot (the guard), whatever the ids say.
// Does not touch the store.
Recovery restoreFromRecord(const RestoreRecord& record, SystemClock& clock, DateChanger& changer, bool interactive,
                           bool sameBootKnown = false);

// At start-up, before anything else: a record whose program and guard no
// longer run is acted on, and removed once the real date is back and sync
// runs again. It stays while it cannot be acted on, and is never touched
// while its program runs.
Recovery recoverLeftRecord(RecordStore& store, SystemClock& clock, DateChanger& changer);
