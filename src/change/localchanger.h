#pragma once
// The changes themselves, in the process that holds the right: direct where
// the clock may be set, else through the time service. Keeps its own anchor,
// so its way back depends on nothing it is told.

#include <string>
#include <vector>

#include "datechanger.h"

// What the guard holds each move of the clock to, whoever asks.
class ShiftLimit {
public:
    virtual ~ShiftLimit() = default;
    virtual bool allows(std::int64_t fromNs, std::int64_t toNs) const = 0;
};

// Where the guard tells the administrator of a change made with its own right.
class ChangeLog {
public:
    virtual ~ChangeLog() = default;
    // Before the clock is set to `instantNs` for `what`. False: the line did
    // not get through, and the change is not made with the guard's own right.
    virtual bool aboutToSet(const std::string& what, std::int64_t instantNs) = 0;
    // The change announced last was not made.
    virtual void notSet(const AppError& error) = 0;
};

class LocalChanger : public DateChanger {
public:
    // Without a limit or a log (Windows, tests) nothing is held back or told.
    LocalChanger(SystemClock& clock, TimeService& service, const ShiftLimit* limit = nullptr,
                 ChangeLog* log = nullptr)
        : clock_(clock), service_(service), limit_(limit), log_(log)
    {
    }

    SyncState syncState() override { return service_.syncState(); }
    AppError setSync(bool on, bool interactive) override;
    AppError setDate(const CivilDate& date, bool interactive) override;
    AppError undo(bool interactive) override;
    AppError adopt(const CivilDate& realDate, bool syncPaused) override;

    // A date other than the real one may be in effect through this changer.
    bool changed() const { return changed_; }
    // Sync may be off through this changer.
    bool syncPaused() const { return paused_; }
    // The real instant, and the boot clock then, while changed().
    std::int64_t anchorWallNs() const { return anchorWallNs_; }
    std::int64_t anchorBootNs() const { return anchorBootNs_; }
    // Shifts whose answer never came and that may still land, until they expire.
    bool awaitingLateShift(std::int64_t bootNs);
    // The clock was stepped by `stepNs`: when that is a shift that never
    // answered, its effect is undone by putting the intended date back.
    void clockStepped(std::int64_t stepNs, bool interactive);

private:
    AppError setInstant(std::int64_t targetNs, bool interactive, const std::string& what);
    AppError reapply(bool interactive);
    bool allowed(std::int64_t fromNs, std::int64_t toNs) const { return !limit_ || limit_->allows(fromNs, toNs); }

    struct LateShift {
        std::int64_t deltaNs;
        std::int64_t expiresBootNs;
    };

    SystemClock& clock_;
    TimeService& service_;
    const ShiftLimit* limit_;
    ChangeLog* log_;
    bool changed_ = false;
    bool paused_ = false;
    std::int64_t anchorWallNs_ = 0;
    std::int64_t anchorBootNs_ = 0;
    CivilDate intended_;  // the date asked for last; null: the real instant
    CivilDate adopted_;   // the real date the anchor was told (adopt); null: read by itself
    std::vector<LateShift> late_;
};
