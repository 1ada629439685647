// Putting things right from a record left behind: what happens at the next
// start (and, the same function, in the guard) for each kind of record.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faketimeservice.h"
#include "localchanger.h"
#include "processinfo.h"
#include "recovery.h"
#include "settingskey.h"
#include "testenv.h"

namespace {

// Sync comes back on interactively: the system may ask for authorisation.
struct Service : FakeTimeService {
    AppError setSync(bool on, bool interactive) override
    {
        EXPECT_TRUE(interactive);
        return FakeTimeService::setSync(on, interactive);
    }
};

using Instants = std::vector<std::int64_t>;

struct Case {
    const char* name;
    bool sameBoot, programAlive, syncPaused, clockRefuses, serviceAvailable;
    // Expected:
    bool acted;     // Recovery::found
    bool clockSet;  // the real instant went straight to the clock
    bool recordKept;
    std::vector<std::string> calls;  // to the time service
};

TEST(RecoverLeftRecord, ActsOnlyForAGoneProgramAndKeepsTheRecordWhileTheClockIsWrong)
{
    const Case cases[] = {
        {"same boot", true, false, true, false, false, true, true, false, {"SetNTP(true)"}},
        {"another boot", false, false, true, false, false, true, false, false, {"SetNTP(true)"}},
        {"program still running", true, true, true, false, false, false, false, true, {}},
        {"clock refused, no service", true, false, false, true, false, true, false, true, {}},
        {"clock refused, service", true, false, false, true, true, true, false, false, {"SetTime"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolders folders;
        FakeClock clock(QDate(2026, 12, 8), 10 * 3600);
        Service service;
        service.present = c.serviceAvailable;
        RecordStore store(settingsKeyPath("ravodor"));

        RestoreRecord record;
        record.anchorWallNs = clock.nowNs();
        record.anchorBootNs = clock.bootNs();
        record.bootId = c.sameBoot ? currentBootId() : "another-boot";
        record.inEffect = {2026, 12, 15};
        record.syncPaused = c.syncPaused;
        record.pid = currentProcessId();
        // A different start time is another process under the same id.
        record.pidStart = processStartTime(record.pid) + (c.programAlive ? 0 : 1);
        ASSERT_FALSE(store.write(record));
        std::int64_t altered = 0;
        ASSERT_FALSE(clock.instantOn(record.inEffect, clock.nowNs(), &altered));
        ASSERT_FALSE(clock.setInstant(altered));
        clock.advance(90);
        const std::int64_t realNs = record.anchorWallNs + 90 * kNsPerSecond;
        if (c.clockRefuses)
            clock.failWith(AppError::permissionDenied());

        LocalChanger changer(clock, service);
        const Recovery recovery = recoverLeftRecord(store, clock, changer);

        EXPECT_EQ(recovery.found, c.acted);
        EXPECT_EQ(store.exists(), c.recordKept);
        EXPECT_EQ(clock.instants, c.clockSet ? Instants({altered, realNs}) : Instants({altered}));
        EXPECT_EQ(service.calls, c.calls);
        if (!service.shifts.empty()) {
            EXPECT_EQ(service.shifts[0], (realNs - altered - 90 * kNsPerSecond) / 1000);
        }
        if (!c.acted)
            continue;
        EXPECT_EQ(recovery.wasSet, record.inEffect);
        EXPECT_EQ(recovery.sameBoot, c.sameBoot);
        EXPECT_EQ(recovery.clock.number, c.clockRefuses && !c.serviceAvailable ? kErrPermissionDenied : 0);
        EXPECT_EQ(recovery.realDate, c.sameBoot ? CivilDate({2026, 12, 8}) : CivilDate());
    }
}

TEST(RestoreFromRecord, AClockThatIsRightAlreadyIsLeftAlone)
{
    FakeClock clock(QDate(2026, 12, 8));
    Service service;
    RestoreRecord record;
    record.anchorWallNs = clock.nowNs();
    record.anchorBootNs = clock.bootNs();
    record.bootId = "unknown-here";
    clock.advance(5);

    LocalChanger changer(clock, service);
    const Recovery recovery = restoreFromRecord(record, clock, changer, true, true);
    EXPECT_TRUE(recovery.sameBoot) << "the guard knows the boot whatever the ids say";
    EXPECT_FALSE(recovery.clock);
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(service.calls.empty());
}

}  // namespace
