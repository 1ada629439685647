#include "datekeeper.h"

#include <utility>

#include "clockhold.h"
#include "processinfo.h"

namespace {

AppError syncNotPaused(const AppError& cause)
{
    return {kErrSyncNotPaused, syncFailureReason(cause), {}, 0};
}

bool unconfirmed(const AppError& error)
{
    return error.number == kErrUnconfirmed;
}

class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }

private:
    bool& busy_;
};

}  // namespace

std::string syncFailureReason(const AppError& error)
{
    if (error.number == kErrPermissionDenied)
        return error.cause == kRefusalAuthDenied ? "not authorised" : "no right to switch it";
    if (error.number == kErrSyncStillOn)
        return "the time service still synchronises";
    return error.description.empty() ? "unknown reason" : error.description;
}

DateKeeper::DateKeeper(SystemClock& clock, std::unique_ptr<DateChanger> changer, std::string settingsKey)
    : clock_(clock), changer_(std::move(changer)), store_(std::move(settingsKey))
{
}

Recovery DateKeeper::recover()
{
    const BusyScope busy(busy_);
    Recovery recovery = recoverLeftRecord(store_, clock_, *changer_);
    pending_ = recovery.pending() ? recovery : Recovery{};
    if (recovery.found && !recovery.pending() && recovery.sync) {
        // The record stays with its pause, and this run switches sync on at its end.
        store_.read(&record_);
        syncPaused_ = true;
    } else if (pending_.found && pending_.sameBoot) {
        store_.read(&record_);  // its real instant is the real one, not the clock
    }
    return recovery;
}

void DateKeeper::anchor()
{
    // Read back to back: the pair is the anchor of every real instant after.
    record_.anchorBootNs = clock_.bootNs();
    record_.anchorWallNs = clock_.nowNs();
    record_.bootId = currentBootId();
    record_.machineId = currentMachineId();
    record_.pid = currentProcessId();
    record_.pidStart = processStartTime(record_.pid);
}

std::int64_t DateKeeper::realInstantNs() const
{
    const bool anchored = altered_ || (pending_.found && pending_.sameBoot);
    return anchored ? record_.realInstantAt(clock_.bootNs()) : clock_.nowNs();
}

CivilDate DateKeeper::realDate() const
{
    return clock_.localDate(SystemClock::floorSeconds(realInstantNs()));
}

AppError DateKeeper::writeRecord()
{
    record_.guardPid = changer_->guardPid();
    record_.guardStart = record_.guardPid > 0 ? processStartTime(record_.guardPid) : 0;
    return store_.write(record_);
}

AppError DateKeeper::setDate(const CivilDate& date)
{
    if (pending_.found) {
        recover();
        if (pending_.running)
            return {kErrProgramRunning, std::to_string(pending_.running), {}, 0};
        if (pending_.found) {
            // The left record is the only way back to the real date: keep it.
            const std::string why = !pending_.otherMachine.empty()
                                        ? "it is of another computer, " + pending_.otherMachine
                                    : pending_.guardBusy ? "the guard of an earlier run is still putting it back"
                                                         : "the real date could not be put back: "
                                                               + pending_.clock.description;
            return {kErrRecordPending, why, {}, 0};
        }
    }
    const BusyScope busy(busy_);
    if (date == realDate()) {
        const Restored restored = restore();
        return restored.clock;
    }
    const bool first = !altered_;
    if (first) {
        // Another change of the machine's clock: refused before anything here changes.
        if (AppError held = clockHeldElsewhere(clock_))
            return held;
        if (AppError error = startAltering())
            return error;
    }
    // In effect while asked: an end that comes meanwhile (a lost display)
    // puts the real date back rather than read the clock the guard just set.
    altered_ = true;
    AppError error = changer_->setDate(date, true);
    if (error && !unconfirmed(error)) {
        altered_ = !first;
        if (first)
            undoStart();
        return error;
    }
    record_.inEffect = date;
    // The date is in effect already; a record that keeps its former date
    // still leads back to the real one.
    writeRecord();
    return error;
}

// Before the first change away: the way back exists before the change does.
AppError DateKeeper::startAltering()
{
    anchor();
    const bool mustPause = changer_->syncState() == SyncState::On;
    record_.inEffect = realDate();
    // Written as paused before the pause: a record of a pause that did not
    // happen only switches on a sync that was on anyway.
    record_.syncPaused = mustPause || syncPaused_;
    if (AppError error = writeRecord())
        return error;
    if (mustPause) {
        // Paused while asked, as the record says: a pause that may still
        // settle, or that an end meanwhile finds under way, is undone by
        // switching sync on.
        const bool wasPaused = syncPaused_;
        syncPaused_ = true;
        if (AppError error = changer_->setSync(false, true)) {
            if (!unconfirmed(error))
                syncPaused_ = wasPaused;
            undoStart();
            return error.number == kErrClockHeld ? error : syncNotPaused(error);
        }
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

DateKeeper::Restored DateKeeper::restore(bool interactive)
{
    const BusyScope busy(busy_);
    Restored result;
    // Nothing altered: the clock is someone else's to set.
    if (!altered_ && !syncPaused_)
        return result;
    if (altered_) {
        result.clock = askWithGuard([&] { return changer_->undo(interactive); });
        if (result.clock)
            return result;  // the record and the guard stay
        altered_ = false;
    }
    if (syncPaused_)
        result.sync = resumeSync(interactive);
    if (result.sync) {
        record_.inEffect = realDate();
        writeRecord();
    } else {
        store_.remove();
    }
    return result;
}

// The guard ended before or while it was asked: a new one takes over what
// is in effect (a pause that may still land included) and is asked again.
AppError DateKeeper::askWithGuard(const std::function<AppError()>& ask)
{
    const AppError answer = ask();
    if (!unconfirmed(answer) || changer_->guardRunning())
        return answer;
    if (guardEnded())
        return answer;
    return ask();
}

AppError DateKeeper::resumeSync(bool interactive)
{
    AppError error = askWithGuard([&] { return changer_->setSync(true, interactive); });
    if (!error) {
        syncPaused_ = false;
        record_.syncPaused = false;
        return error;
    }
    if (onSyncNotResumed)
        onSyncNotResumed(error);
    return error;
}

AppError DateKeeper::guardEnded()
{
    if (changer_->guardRunning() || (!altered_ && !syncPaused_))
        return AppError::none();  // the next change starts one
    if (!changer_->restartGuard())
        return {kErrPermissionDenied, "the guard could not be started again", {}, 0};
    AppError error = changer_->adopt(altered_ ? realDate() : CivilDate{}, syncPaused_);
    writeRecord();
    return error;
}
