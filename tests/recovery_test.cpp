// Putting things right from a record left behind: what happens at the next
// start (and, the same function, in the guard) for each kind of record.

#include <gtest/gtest.h>

#include <vector>

#include "processinfo.h"
#include "recovery.h"
#include "settingskey.h"
#include "testenv.h"

namespace {

class FakeTimeService : public TimeService {
public:
    bool available() override { return isAvailable; }
    SyncState syncState() override { return SyncState::Off; }
    AppError setSync(bool on, bool interactive) override
    {
        syncCalls.push_back(on && interactive);
        return AppError::none();
    }
    AppError shiftClock(std::int64_t deltaUs, bool) override
    {
        shifts.push_back(deltaUs);
        return AppError::none();
    }

    bool isAvailable = false;
    std::vector<bool> syncCalls;  // true: switched on, interactively
    std::vector<std::int64_t> shifts;
};

enum class Boot { Same, Other };

struct Case {
    const char* name;
    Boot boot;
    bool programAlive;
    bool syncPaused;
    bool clockRefuses;
    bool serviceAvailable;
    // Expected:
    bool acted;        // Recovery::found
    bool clockSet;     // the real instant went straight to the clock
    bool shifted;      // the time service moved it instead
    bool recordKept;
};

TEST(RecoverLeftRecord, ActsOnlyForAGoneProgramAndKeepsTheRecordWhileTheClockIsWrong)
{
    const Case cases[] = {
        {"same boot", Boot::Same, false, true, false, false, true, true, false, false},
        {"another boot", Boot::Other, false, true, false, false, true, false, false, false},
        {"program still running", Boot::Same, true, true, false, false, false, false, false, true},
        {"clock refused, no service", Boot::Same, false, false, true, false, true, false, false, true},
        {"clock refused, service", Boot::Same, false, false, true, true, true, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolders folders;
        FakeClock clock(QDate(2026, 12, 8), 10 * 3600);
        FakeTimeService service;
        service.isAvailable = c.serviceAvailable;
        RecordStore store(settingsKeyPath("ravodor"));

        RestoreRecord record;
        record.anchorWallNs = clock.nowNs();
        record.anchorBootNs = clock.bootNs();
        record.bootId = c.boot == Boot::Same ? currentBootId() : "another-boot";
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
        const int setsBefore = static_cast<int>(clock.instants.size());

        const Recovery recovery = recoverLeftRecord(store, clock, service);

        EXPECT_EQ(recovery.found, c.acted);
        EXPECT_EQ(store.exists(), c.recordKept);
        EXPECT_EQ(static_cast<int>(clock.instants.size()) - setsBefore, c.clockSet ? 1 : 0);
        if (c.clockSet) {
            EXPECT_EQ(clock.instants.back(), realNs);
        }
        ASSERT_EQ(service.shifts.size(), c.shifted ? 1U : 0U);
        if (c.shifted) {
            EXPECT_EQ(service.shifts[0], (realNs - altered - 90 * kNsPerSecond) / 1000);
        }
        EXPECT_EQ(service.syncCalls, std::vector<bool>(c.acted && c.syncPaused ? 1 : 0, true));
        if (!c.acted)
            continue;
        EXPECT_EQ(recovery.wasSet, record.inEffect);
        EXPECT_EQ(recovery.sameBoot, c.boot == Boot::Same);
        EXPECT_EQ(recovery.clock.number, c.clockRefuses && !c.serviceAvailable ? kErrPermissionDenied : 0);
        const CivilDate realDate = c.boot == Boot::Same ? CivilDate{2026, 12, 8} : CivilDate{};
        EXPECT_EQ(recovery.realDate, realDate);
    }
}

TEST(RestoreFromRecord, AClockThatIsRightAlreadyIsLeftAlone)
{
    FakeClock clock(QDate(2026, 12, 8));
    FakeTimeService service;
    RestoreRecord record;
    record.anchorWallNs = clock.nowNs();
    record.anchorBootNs = clock.bootNs();
    record.bootId = "unknown-here";
    record.inEffect = {2026, 12, 15};
    clock.advance(5);

    const Recovery recovery = restoreFromRecord(record, clock, service, true, true);
    EXPECT_TRUE(recovery.sameBoot) << "the guard knows the boot whatever the ids say";
    EXPECT_FALSE(recovery.clock);
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(service.syncCalls.empty());
}

}  // namespace
