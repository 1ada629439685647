// The roads on which the real date could be lost: for each, what fails and
// when, and what the clock, the record, time sync and the guard must be
// afterwards. Either the real date is back with sync on, or the record is
// kept and the user is told why.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include <unistd.h>

#include "datekeeper.h"
#include "faketimeservice.h"
#include "localchanger.h"
#include "processinfo.h"
#include "settingskey.h"
#include "testenv.h"

namespace {

const AppError kNoAnswer{kErrUnconfirmed, "no reply", {}, 0};

// In-process changes whose guard can end, as the guard process does.
class EndingGuard : public LocalChanger {
public:
    using LocalChanger::LocalChanger;
    bool guardRunning() override { return running; }
    bool restartGuard() override { return running = true, ++restarts; }
    // A guard that has ended answers nothing.
    AppError undo(bool interactive) override { return running ? LocalChanger::undo(interactive) : kNoAnswer; }
    AppError adopt(const CivilDate& realDate, bool syncPaused) override
    {
        adopted = realDate;
        return LocalChanger::adopt(realDate, syncPaused);
    }
    bool running = true;
    int restarts = 0;
    CivilDate adopted;
};

struct World {
    TestFolders folders;
    FakeClock clock{QDate(2026, 12, 8), 10 * 3600};
    FakeTimeService service{&clock, SyncState::Off};
    RecordStore store{settingsKeyPath("ravodor")};
    EndingGuard* guard = nullptr;
    std::unique_ptr<DateKeeper> keeper;

    DateKeeper& start()
    {
        auto changer = std::make_unique<EndingGuard>(clock, service);
        guard = changer.get();
        keeper = std::make_unique<DateKeeper>(clock, std::move(changer), settingsKeyPath("ravodor"));
        keeper->recover();
        return *keeper;
    }
    // A run that ended ten days ahead of the real date without putting it back.
    void leftBehind(const std::function<void(RestoreRecord&)>& edit = {})
    {
        RestoreRecord record;
        record.anchorWallNs = clock.nowNs();
        record.anchorBootNs = clock.bootNs();
        record.bootId = currentBootId();
        record.machineId = currentMachineId();
        record.inEffect = {2026, 12, 18};
        record.pid = currentProcessId();
        record.pidStart = processStartTime(record.pid) + 1;  // another process under this id: gone
        if (edit)
            edit(record);
        ASSERT_FALSE(store.write(record));
        std::int64_t away = 0;
        ASSERT_FALSE(clock.instantOn(record.inEffect, clock.nowNs(), &away));
        if (record.inEffect != CivilDate{2026, 12, 8}) {
            ASSERT_FALSE(clock.setInstant(away));
        }
    }
};

struct Road {
    const char* name;
    std::function<void(World&)> arrange;  // what fails, and when
    std::function<AppError(World&)> act;
    int error;  // of act
    bool realDate, recordKept, syncOn;
};

AppError setLater(World& w)
{
    return w.start().setDate({2031, 1, 1});
}

TEST(Roads, TheRealDateComesBackWithSyncOnOrTheRecordStaysAndSaysWhy)
{
    const Road roads[] = {
        {"a recovery that fails blocks new changes and keeps the record",
         [](World& w) { w.leftBehind(), w.clock.failWith(AppError::permissionDenied()), w.service.present = false; },
         setLater, kErrRecordPending, false, true, false},
        {"the next start that may set the clock puts it right and goes on",
         [](World& w) { w.leftBehind(); }, [](World& w) { return w.start().restore().clock; }, 0, true, false, false},
        {"a shift never answered but carried out counts as made, and Reset undoes it",
         [](World& w) {
             w.clock.failWith(AppError::permissionDenied());
             w.service.duringShift = [&w] { w.clock.shiftByService(w.service.shifts.back() * 1000); };
             w.service.refuseShift = kNoAnswer;
         },
         [](World& w) {
             EXPECT_EQ(setLater(w).number, kErrUnconfirmed);
             EXPECT_TRUE(w.keeper->altered() && w.store.exists());
             w.service.duringShift = nullptr, w.service.refuseShift = {};
             return w.keeper->restore().clock;
         },
         0, true, false, false},
        {"a shift never answered and never made: Reset finds the clock right",
         [](World& w) { w.clock.failWith(AppError::permissionDenied()), w.service.refuseShift = kNoAnswer; },
         [](World& w) {
             EXPECT_EQ(setLater(w).number, kErrUnconfirmed);
             const int before = w.clock.attempts;
             const AppError error = w.keeper->restore().clock;
             EXPECT_EQ(w.service.shifts.size(), 1U) << "no second shift";
             EXPECT_EQ(w.clock.attempts, before + 0) << "nothing to set";
             return error;
         },
         0, true, false, false},
        {"a shift that lands after Reset is undone when the clock steps",
         [](World& w) { w.clock.failWith(AppError::permissionDenied()), w.service.refuseShift = kNoAnswer; },
         [](World& w) {
             EXPECT_EQ(setLater(w).number, kErrUnconfirmed);
             EXPECT_FALSE(w.keeper->restore());
             w.service.refuseShift = {};
             const std::int64_t landed = w.service.shifts.back() * 1000;
             w.clock.shiftByService(landed);
             w.guard->clockStepped(landed, true);
             return AppError::none();
         },
         0, true, false, false},
        {"a pause that settles late is undone by switching sync on",
         [](World& w) {
             w.service = FakeTimeService(&w.clock, SyncState::On);
             w.service.refusePause = kNoAnswer, w.service.landsLate = true;
         },
         setLater, kErrSyncNotPaused, true, false, true},
        {"the guard of the last run still runs: no second restorer",
         [](World& w) {
             w.leftBehind([](RestoreRecord& r) {
                 r.guardPid = currentProcessId(), r.guardStart = processStartTime(r.guardPid);
             });
         },
         setLater, kErrRecordPending, false, true, false},
        {"sync that cannot be switched back on keeps the record, the next start tries again",
         [](World& w) {
             w.leftBehind([](RestoreRecord& r) { r.inEffect = {2026, 12, 8}, r.syncPaused = true; });
             w.service.refuseResume = kNoAnswer;
             w.start();
             EXPECT_TRUE(w.store.exists());
             w.service.refuseResume = {};
         },
         [](World& w) { return w.start().restore().sync; }, 0, true, false, true},
        {"nothing altered: a clock corrected from outside stays as it is",
         [](World& w) { w.start(); w.clock.advance(3600); },
         [](World& w) {
             const AppError error = w.keeper->restore().clock;
             EXPECT_EQ(w.clock.attempts, 0);
             return error;
         },
         0, true, false, false},
        {"a record of another computer sharing the settings is left alone",
         [](World& w) { w.leftBehind([](RestoreRecord& r) { r.machineId = "another-machine"; }); },
         setLater, kErrRecordPending, false, true, false},
        {"a guard that ended is replaced at once and takes over the date",
         [](World& w) {
             EXPECT_FALSE(setLater(w));
             w.guard->running = false;
         },
         [](World& w) {
             const AppError error = w.keeper->guardEnded();
             EXPECT_EQ(w.guard->restarts, 1);
             EXPECT_EQ(w.guard->adopted, CivilDate({2026, 12, 8}));
             return error ? error : w.keeper->restore().clock;
         },
         0, true, false, false},
        {"Set, Set again, Reset: the real date comes back, not the first one set",
         [](World& w) { EXPECT_FALSE(setLater(w)); },
         [](World& w) {
             EXPECT_FALSE(w.keeper->setDate({2032, 2, 2}));
             return w.keeper->restore().clock;
         },
         0, true, false, false},
        {"a failed undo keeps the record and the altered date for the next try",
         [](World& w) { EXPECT_FALSE(setLater(w)); },
         [](World& w) {
             w.clock.failWith(AppError::permissionDenied()), w.service.present = false;
             EXPECT_EQ(w.keeper->restore().clock.number, kErrPermissionDenied);
             EXPECT_TRUE(w.keeper->altered() && w.store.exists());
             w.clock.failWith({});
             return w.keeper->restore().clock;
         },
         0, true, false, false},
        {"a replacement guard switches sync back on should the program then end",
         [](World& w) {
             w.service = FakeTimeService(&w.clock, SyncState::On);
             EXPECT_FALSE(setLater(w));
             w.guard->running = false;
         },
         [](World& w) {
             const AppError error = w.keeper->guardEnded();
             // The program is gone: its guard ends as at the end of its input.
             w.guard->undo(true);
             if (w.guard->syncPaused())
                 w.guard->setSync(true, true);
             return error;
         },
         0, true, true, true},
        {"a guard found ended at Reset is replaced, takes over the date and undoes it",
         [](World& w) {
             EXPECT_FALSE(setLater(w));
             w.guard->running = false;
         },
         [](World& w) {
             const AppError error = w.keeper->restore().clock;
             EXPECT_EQ(w.guard->restarts, 1);
             EXPECT_EQ(w.guard->adopted, CivilDate({2026, 12, 8}));
             return error;
         },
         0, true, false, false},
        {"an undo its running guard never answered is asked again neither of it nor of a new guard",
         [](World& w) { EXPECT_FALSE(setLater(w)); },
         [](World& w) {
             w.clock.failWith(AppError::permissionDenied()), w.service.refuseShift = kNoAnswer;
             const AppError error = w.keeper->restore().clock;
             EXPECT_EQ(w.service.shifts.size(), 1U) << "two restorers would both shift the clock";
             EXPECT_EQ(w.guard->restarts, 0);
             return error;
         },
         kErrUnconfirmed, false, true, false},
        {"a record whose program still runs is its own: no change, and it stays as it was",
         [](World& w) {
             w.leftBehind([](RestoreRecord& r) { r.pid = getppid(), r.pidStart = processStartTime(r.pid); });
         },
         setLater, kErrProgramRunning, false, true, false},
        {"a record of an earlier boot names no running program, whatever its process",
         [](World& w) {
             w.leftBehind([](RestoreRecord& r) {
                 r.bootId = "an-earlier-boot", r.pid = getppid(), r.pidStart = processStartTime(r.pid);
                 r.syncPaused = true;
             });
         },
         [](World& w) { return w.start().restore().clock; }, 0, false, false, true},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        World w;
        road.arrange(w);
        const std::string recordBefore = getSetting("", "RestoreRecord").value_or("");
        EXPECT_EQ(road.act(w).number, road.error);
        EXPECT_EQ(w.clock.date() == QDate(2026, 12, 8), road.realDate);
        EXPECT_EQ(w.store.exists(), road.recordKept);
        if (road.recordKept && (road.error == kErrRecordPending || road.error == kErrProgramRunning)) {
            EXPECT_EQ(getSetting("", "RestoreRecord").value_or(""), recordBefore) << "kept as it was";
        }
        EXPECT_EQ(w.service.syncState() == SyncState::On, road.syncOn);
    }
}

}  // namespace
