#pragma once
// One change of the clock in effect per machine, whoever asks. The guard
// that makes the first change takes the machine's hold (an flock on a file
// every user may open) and keeps it until the real date is back and sync
// runs again; the lock dies with its process, so an end of any kind leaves
// no lock behind. Beside the lock, in the same file, the holder leaves a
// note that names it and says whether the clock is away from the real date.
//
// The note is not trusted: anyone may write it. It only ever refuses (names
// a holder, or says a holder that is gone left the date changed); nothing is
// ever set from it.

#include <cstdint>
#include <string>

#include "apperror.h"
#include "clock.h"

struct HoldNote {
    std::int64_t uid = -1;
    std::int64_t pid = 0;           // the program the holder serves
    std::int64_t sinceNs = 0;       // the real instant the hold was taken
    bool changed = false;           // the clock may be away from the real date
    std::int64_t anchorWallNs = 0;  // the real instant ...
    std::int64_t anchorBootNs = 0;  // ... at this boot-clock reading
    std::string bootId;
};

std::string formatHoldNote(const HoldNote& note);
// False for anything formatHoldNote does not write.
bool parseHoldNote(const std::string& text, HoldNote* note);

// The note says a change is in effect that the clock still shows: of this
// boot, and the clock more than two seconds away from its anchor's real
// instant. Anything else is stale and counts for nothing.
bool stillChanged(const HoldNote& note, const SystemClock& clock);

// "The date is changed by USER (process N) since TIME; try again when the
// real date is back."
std::string heldWords(const HoldNote& note);
// A holder that is gone left the date changed.
std::string leftWords(const HoldNote& note);

// The file: RAVODOR_CLOCK_HOLD where no right of its own is at stake (the
// tests'), else the one the package makes at boot.
std::string clockHoldPath();

class ClockHold {
public:
    explicit ClockHold(std::string path);
    ~ClockHold();
    ClockHold(const ClockHold&) = delete;
    ClockHold& operator=(const ClockHold&) = delete;

    enum Purpose {
        Change,    // away from the real date, or sync off for that
        TakeOver,  // carries on the caller's own earlier change (adopt)
        WayBack,   // sync on again: refused only while another holds
    };
    // Taken for `purpose` by `uid`, noting `mine`; kErrClockHeld with the
    // words that name who has it otherwise.
    AppError take(Purpose purpose, std::int64_t uid, const HoldNote& mine, const SystemClock& clock);
    bool held() const { return held_; }
    // What the holder tells others now.
    void note(const HoldNote& note);
    // The real date is back and sync runs: the note is cleared, the lock let go.
    void release();

private:
    friend AppError clockHeldElsewhere(const SystemClock& clock);
    bool open();
    AppError unopened() const;
    std::string readNote();

    std::string path_;
    int fd_ = -1;
    bool held_ = false;
    int openError_ = 0;  // ENOENT: no hold is kept on this machine (a build tree)
};

// Before a first change, whether this process's user would be refused now:
// kErrClockHeld with the words, taking nothing. The guard decides anyway.
AppError clockHeldElsewhere(const SystemClock& clock);
