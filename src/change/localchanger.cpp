#include "localchanger.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Closer than this the clock is right already: setting it would only cost
// an authorisation prompt.
constexpr std::int64_t kRightEnoughNs = kNsPerSecond;
// How long a shift that never answered may still land: a prompt left open
// for minutes, then answered. polkit gives up on an agent long before this.
constexpr std::int64_t kLateShiftWindowNs = 10 * 60 * kNsPerSecond;
// A landed shift steps the clock by what was asked, give or take the time
// the service took to act.
constexpr std::int64_t kStepToleranceNs = kNsPerSecond;

}  // namespace

AppError LocalChanger::setSync(bool on, bool interactive)
{
    const AppError error = service_.setSync(on, interactive);
    // A pause that may still settle counts as made: sync is switched on at the end.
    if (!error || (!on && error.number == kErrUnconfirmed))
        paused_ = !on;
    return error;
}

AppError LocalChanger::setInstant(std::int64_t targetNs, bool interactive, const std::string& what)
{
    // No change with its own right without its line first; the time service keeps its own log.
    const bool logged = !log_ || log_->aboutToSet(what, targetNs);
    AppError error = logged ? clock_.setInstant(targetNs) : AppError::permissionDenied();
    if (error && logged && log_)
        log_->notSet(error);
    if (error.number != kErrPermissionDenied || !service_.available())
        return error;
    // Relative, so that time spent in an authorisation prompt is not lost.
    const std::int64_t deltaNs = targetNs - clock_.nowNs();
    error = service_.shiftClock(deltaNs / 1000, interactive);
    if (error.number == kErrUnconfirmed)
        late_.push_back({deltaNs, clock_.bootNs() + kLateShiftWindowNs});
    return error;
}

AppError LocalChanger::setDate(const CivilDate& date, bool interactive)
{
    if (!changed_) {
        // Read back to back: the pair is the anchor of every real instant after.
        anchorBootNs_ = clock_.bootNs();
        anchorWallNs_ = clock_.nowNs();
        adopted_ = {};
    }
    std::int64_t target = 0;
    const std::int64_t fromNs = clock_.nowNs();
    if (AppError invalid = clock_.instantOn(date, fromNs, &target))
        return invalid;
    if (!allowed(fromNs, target))
        return AppError::invalidCall();
    const AppError error = setInstant(target, interactive, "date " + isoDate(date));
    if (!error || error.number == kErrUnconfirmed) {
        changed_ = true;
        intended_ = date;
    }
    return error;
}

AppError LocalChanger::undo(bool interactive)
{
    intended_ = {};
    if (!changed_)
        return AppError::none();
    const std::int64_t realNs = anchorWallNs_ + (clock_.bootNs() - anchorBootNs_);
    if (std::llabs(clock_.nowNs() - realNs) >= kRightEnoughNs) {
        // After an adopt the real date is the caller's word, and the log says so.
        const std::string what = adopted_.isNull() ? "back to the real instant"
                                                   : "back to " + isoDate(adopted_) + ", the real date as adopted";
        if (AppError error = setInstant(realNs, interactive, what))
            return error;
    }
    changed_ = false;
    return AppError::none();
}

AppError LocalChanger::adopt(const CivilDate& realDate, bool syncPaused)
{
    paused_ = syncPaused;
    changed_ = false;
    intended_ = adopted_ = {};
    if (realDate.isNull())
        return AppError::none();
    // Only a whole-day change: the time of day stays the clock's.
    std::int64_t target = 0;
    const std::int64_t fromNs = clock_.nowNs();
    if (AppError invalid = clock_.instantOn(realDate, fromNs, &target))
        return invalid;
    // The undo at the end would make this very move.
    if (!allowed(fromNs, target))
        return AppError::invalidCall();
    anchorBootNs_ = clock_.bootNs();
    anchorWallNs_ = target;
    adopted_ = realDate;
    changed_ = true;
    intended_ = clock_.today();
    return AppError::none();
}

bool LocalChanger::awaitingLateShift(std::int64_t bootNs)
{
    late_.erase(std::remove_if(late_.begin(), late_.end(),
                               [bootNs](const LateShift& shift) { return shift.expiresBootNs <= bootNs; }),
                late_.end());
    return !late_.empty();
}

void LocalChanger::clockStepped(std::int64_t stepNs, bool interactive)
{
    const auto landed = std::find_if(late_.begin(), late_.end(), [stepNs](const LateShift& shift) {
        return std::llabs(stepNs - shift.deltaNs) < kStepToleranceNs;
    });
    if (landed == late_.end())
        return;  // someone else's correction: not ours to undo
    late_.erase(landed);
    if (intended_.isNull()) {
        changed_ = true;  // the anchor still holds: nothing was anchored since
        undo(interactive);
    } else {
        setDate(intended_, interactive);
    }
}
