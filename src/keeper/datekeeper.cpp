#include "datekeeper.h"

#include <utility>

#include "processinfo.h"

namespace {

// The reason a pause failed, as the message puts it in brackets.
std::string pauseReason(const AppError& error)
{
    if (error.number == kErrPermissionDenied)
        return error.cause == kRefusalAuthDenied ? "not authorised" : "no right to switch it";
    if (error.number == kErrSyncStillOn)
        return "the time service still synchronises";
    return error.description.empty() ? "unknown reason" : error.description;
}

AppError syncNotPaused(const AppError& cause)
{
    return {kErrSyncNotPaused, pauseReason(cause), {}, 0};
}

}  // namespace

DateKeeper::DateKeeper(SystemClock& clock, TimeService& service, std::string settingsKey, GuardProcess* guard)
    : clock_(clock), service_(service), store_(std::move(settingsKey)), guard_(guard)
{
}

Recovery DateKeeper::recover()
{
    return recoverLeftRecord(store_, clock_, service_);
}

void DateKeeper::anchor()
{
    // Read back to back: the pair is the anchor of every real instant after.
    record_.anchorBootNs = clock_.bootNs();
    record_.anchorWallNs = clock_.nowNs();
    record_.bootId = currentBootId();
    record_.pid = currentProcessId();
    record_.pidStart = processStartTime(record_.pid);
}

std::int64_t DateKeeper::realInstantNs() const
{
    return record_.realInstantAt(clock_.bootNs());
}

CivilDate DateKeeper::realDate() const
{
    return clock_.localDate(SystemClock::floorSeconds(realInstantNs()));
}

namespace {

class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }

private:
    bool& busy_;
};

}  // namespace

AppError DateKeeper::setDate(const CivilDate& date)
{
    const BusyScope busy(busy_);
    if (date == realDate()) {
        const Restored restored = restore();
        return restored.clock;
    }
    const bool first = !altered_;
    if (first) {
        if (AppError error = startAltering())
            return error;
    }
    if (AppError error = setAway(date)) {
        if (first)
            undoStart();
        return error;
    }
    altered_ = true;
    record_.inEffect = date;
    // The date is in effect already; a record that keeps its former date
    // still leads back to the real one.
    store_.write(record_);
    return AppError::none();
}

// Before the first change away: the way back exists before the change does.
AppError DateKeeper::startAltering()
{
    const bool mustPause = service_.syncState() == SyncState::On;
    record_.inEffect = realDate();
    // Written as paused before the pause: a record of a pause that did not
    // happen only switches on a sync that was on anyway.
    record_.syncPaused = mustPause;
    if (AppError error = store_.write(record_))
        return error;
    if (guard_ && !guard_->running())
        guard_->start();  // without it the record still serves the next start
    if (mustPause) {
        if (AppError error = service_.setSync(false, true)) {
            record_.syncPaused = false;
            store_.remove();
            return syncNotPaused(error);
        }
        syncPaused_ = true;
    }
    return AppError::none();
}

// The first change failed: nothing may stay changed, sync included.
void DateKeeper::undoStart()
{
    if (syncPaused_ && resumeSync(true))
        return;  // the record stays: it still says sync is paused
    record_.syncPaused = false;
    store_.remove();
}

AppError DateKeeper::setAway(const CivilDate& date)
{
    AppError error = clock_.setDate(date);
    if (error.number != kErrPermissionDenied || !service_.available())
        return error;
    std::int64_t target = 0;
    if (AppError invalid = clock_.instantOn(date, clock_.nowNs(), &target))
        return invalid;
    error = service_.shiftClock((target - clock_.nowNs()) / 1000, true);
    return error.number == kErrSyncStillOn ? syncNotPaused(error) : error;
}

AppError DateKeeper::setInstant(std::int64_t epochNs, bool interactive)
{
    AppError error = clock_.setInstant(epochNs);
    if (error.number != kErrPermissionDenied || !service_.available())
        return error;
    // Relative, so that time spent in an authorisation prompt is not lost.
    return service_.shiftClock((epochNs - clock_.nowNs()) / 1000, interactive);
}

DateKeeper::Restored DateKeeper::restore(bool interactive)
{
    const BusyScope busy(busy_);
    Restored result;
    result.clock = setInstant(realInstantNs(), interactive);
    if (result.clock)
        return result;  // the record stays for the guard or the next start
    altered_ = false;
    record_.inEffect = realDate();
    if (syncPaused_)
        result.sync = resumeSync(interactive);
    if (result.sync)
        store_.write(record_);
    else
        store_.remove();
    return result;
}

AppError DateKeeper::resumeSync(bool interactive)
{
    AppError error = service_.setSync(true, interactive);
    if (!error) {
        syncPaused_ = false;
        record_.syncPaused = false;
        return error;
    }
    if (onSyncNotResumed)
        onSyncNotResumed(error);
    return error;
}
