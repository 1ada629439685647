#include "recovery.h"

#include <cstdlib>

#include "processinfo.h"

namespace {

// Closer than this the clock is right already (the program ended between
// putting it back and removing the record): setting it would only cost an
// authorisation prompt.
constexpr std::int64_t kRightEnoughNs = kNsPerSecond;

AppError putBack(std::int64_t realNs, SystemClock& clock, TimeService& service, bool interactive)
{
    if (std::llabs(clock.nowNs() - realNs) < kRightEnoughNs)
        return AppError::none();
    AppError error = clock.setInstant(realNs);
    if (error.number == kErrPermissionDenied && service.available()) {
        const std::int64_t deltaUs = (realNs - clock.nowNs()) / 1000;
        error = service.shiftClock(deltaUs, interactive);
    }
    return error;
}

}  // namespace

Recovery restoreFromRecord(const RestoreRecord& record, SystemClock& clock, TimeService& service, bool interactive,
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
        result.clock = putBack(realNs, clock, service, interactive);
    }
    if (record.syncPaused)
        result.sync = service.setSync(true, interactive);
    return result;
}

Recovery recoverLeftRecord(RecordStore& store, SystemClock& clock, TimeService& service)
{
    RestoreRecord record;
    // An unreadable record is never acted on; the next write replaces it.
    if (!store.read(&record))
        return {};
    const std::uint64_t start = processStartTime(record.pid);
    if (start != 0 && start == record.pidStart)
        return {};  // its program still runs, and its guard with it
    Recovery result = restoreFromRecord(record, clock, service, true);
    if (!result.clock)
        store.remove();
    return result;
}
