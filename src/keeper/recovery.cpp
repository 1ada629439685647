#include "recovery.h"

#include <cstdlib>

#include "processinfo.h"

namespace {

// Closer than this the clock is right already (the program ended between
// putting it back and removing the record).
constexpr std::int64_t kRightEnoughNs = kNsPerSecond;

// Process ids and start times count from the boot: of another boot they name
// whoever has them now.
bool runs(const RestoreRecord& record, std::int64_t pid, std::uint64_t start)
{
    return pid > 0 && start != 0 && record.bootId == currentBootId() && processStartTime(pid) == start;
}

}  // namespace

Recovery restoreFromRecord(const RestoreRecord& record, SystemClock& clock, DateChanger& changer, bool interactive,
                           bool sameBootKnown)
{
    Recovery result;
    result.found = true;
    result.wasSet = record.inEffect;
    const std::string bootId = currentBootId();
    result.sameBoot = sameBootKnown || (!record.bootId.empty() && record.bootId == bootId);
    if (result.sameBoot) {
        const std::int64_t realNs = record.realInstantAt(clock.bootNs());
        result.realDate = clock.localDate(SystemClock::floorSeconds(realNs));
        result.wasRight = std::llabs(clock.nowNs() - realNs) < kRightEnoughNs || clock.today() == result.realDate;
        // Whole days only: a time of day that others corrected stays theirs.
        if (result.realDate.isNull())
            result.clock = AppError::invalidCall();
        else if (!result.wasRight) {
            result.clock = changer.adopt(result.realDate, false);
            if (!result.clock)
                result.clock = changer.undo(interactive);
            if (result.clock)
                changer.adopt({}, false);  // not put back: the next start asks again, not this changer's guard
        }
    }
    if (record.syncPaused)
        result.sync = changer.setSync(true, interactive);
    return result;
}

Recovery recoverLeftRecord(RecordStore& store, SystemClock& clock, DateChanger& changer)
{
    RestoreRecord record;
    // An unreadable record is never acted on; the next write replaces it.
    if (!store.read(&record))
        return {};
    Recovery result;
    result.found = true;
    result.wasSet = record.inEffect;
    const std::string machine = currentMachineId();
    if (!record.machineId.empty() && !machine.empty() && record.machineId != machine) {
        result.otherMachine = record.machineId;
        return result;
    }
    if (runs(record, record.pid, record.pidStart)) {
        // Of this very process: an earlier keeper's, whose way back this one carries on.
        if (record.pid == currentProcessId())
            return {};
        result.running = record.pid;  // its way back, which only it may change
        return result;
    }
    if (runs(record, record.guardPid, record.guardStart)) {
        result.guardBusy = true;  // two restorers would both shift the clock
        return result;
    }
    result = restoreFromRecord(record, clock, changer, true);
    if (!result.clock && !result.sync)
        store.remove();
    return result;
}
