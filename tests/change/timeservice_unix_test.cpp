// The time service against a private bus with a stand-in timedated; never
// the machine's own bus.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "privatebus.h"
#include "timeservice.h"

namespace {

enum class BusSetup { NoBus, NoTimedated, NoSyncUnit, SyncOff, SyncOn, PolkitDenies };

class TimeServiceTest : public ::testing::Test {
protected:
    // Starts the bus `setup` asks for; the test returns when this skips or fails.
    void start(BusSetup setup, const char* failFirst = "")
    {
        if (setup == BusSetup::NoBus) {
            noBus_ = std::make_unique<NoBus>();
            return;
        }
        if (const std::string missing = PrivateBus::missingTools(); !missing.empty())
            GTEST_SKIP() << missing;
        PrivateBus::Options o;
        o.timedated = setup != BusSetup::NoTimedated;
        o.canNtp = setup != BusSetup::NoSyncUnit;
        o.ntp = setup == BusSetup::SyncOn;
        o.polkitAllows = setup != BusSetup::PolkitDenies;
        o.failFirst = failFirst;
        bus_ = std::make_unique<PrivateBus>(o);
        ASSERT_TRUE(bus_->ok()) << bus_->error();
    }
    bool stopped() const { return IsSkipped() || HasFatalFailure(); }
    static double secondsSince(std::chrono::steady_clock::time_point begin)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }

    std::unique_ptr<NoBus> noBus_;
    std::unique_ptr<PrivateBus> bus_;
    std::unique_ptr<TimeService> service_ = makeTimeService();
};

TEST_F(TimeServiceTest, SyncStateReadsTheService)
{
    for (const auto& [setup, expected] : {std::pair{BusSetup::NoBus, SyncState::None},
                                          {BusSetup::NoTimedated, SyncState::None},
                                          {BusSetup::NoSyncUnit, SyncState::None},
                                          {BusSetup::SyncOff, SyncState::Off},
                                          {BusSetup::SyncOn, SyncState::On}}) {
        SCOPED_TRACE(static_cast<int>(setup));
        start(setup);
        if (stopped())
            return;
        EXPECT_EQ(service_->syncState(), expected);
        EXPECT_EQ(service_->available(), setup != BusSetup::NoBus && setup != BusSetup::NoTimedated);
        bus_.reset();
        noBus_.reset();
    }
}

// The stand-in refuses SetTime until SetNTP's 0.3 s job is done; shifts are
// relative and carry the interactive flag.
TEST_F(TimeServiceTest, PausingWaitsForTheStopJobThenShiftsAreRelative)
{
    start(BusSetup::SyncOn);
    if (stopped())
        return;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(service_->setSync(false, true));
    EXPECT_GE(secondsSince(begin), 0.25);
    EXPECT_EQ(service_->syncState(), SyncState::Off);
    EXPECT_FALSE(service_->shiftClock(-86400123456, true));
    EXPECT_FALSE(service_->shiftClock(3600000000, false));

    std::vector<std::string> calls;
    for (const BusCall& call : bus_->calls())
        calls.push_back(call.text() + call.error);
    EXPECT_EQ(calls, (std::vector<std::string>{"SetNTP(0, 1)", "SetTime(-86400123456, 1, 1)",
                                               "SetTime(3600000000, 1, 0)"}));
}

TEST_F(TimeServiceTest, ShiftRefusedWhileSyncStaysOnGivesUpAfterABoundedWait)
{
    start(BusSetup::SyncOn);
    if (stopped())
        return;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(service_->shiftClock(86400000000, true).number, kErrSyncStillOn);
    EXPECT_GE(secondsSince(begin), 4.0);
    EXPECT_LT(secondsSince(begin), 10.0);
    const std::vector<BusCall> calls = bus_->calls();
    EXPECT_GT(calls.size(), 1u);  // retried
    for (const BusCall& call : calls)
        EXPECT_EQ(call.error, "org.freedesktop.timedate1.AutomaticTimeSyncEnabled");
}

// One failing call and what it becomes.
struct ErrorCase {
    const char* name;
    BusSetup setup;
    bool sync;  // setSync(false) rather than shiftClock
    bool interactive;
    std::int64_t deltaUs;
    const char* failFirst;  // "" or a D-Bus error the stand-in answers with
    int number;
    int cause;  // checked for 70
    bool askAgain = false;  // 70 that a prompt may turn round
};

constexpr std::int64_t kDay = 86400000000;
constexpr std::int64_t kFarPast = std::numeric_limits<std::int64_t>::min() + 1;

class TimeServiceErrorTest : public TimeServiceTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(TimeServiceErrorTest, MapsTheAnswer)
{
    const ErrorCase& c = GetParam();
    start(c.setup, c.failFirst);
    if (stopped())
        return;
    const AppError error = c.sync ? service_->setSync(false, c.interactive) : service_->shiftClock(c.deltaUs, c.interactive);
    EXPECT_EQ(error.number, c.number);
    if (c.number == kErrPermissionDenied) {
        EXPECT_EQ(error.cause, c.cause);
        EXPECT_EQ(error.needsInteraction(), c.askAgain);
    }
    if (c.number == kErrTimeService) {
        EXPECT_EQ(error.description, "it broke");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeServiceErrorTest,
    ::testing::Values(
        ErrorCase{"ShiftPolkitDenies", BusSetup::PolkitDenies, false, true, kDay, "", 70, kRefusalAuthDenied},
        ErrorCase{"ShiftQuietNeedsPrompt", BusSetup::PolkitDenies, false, false, kDay, "", 70, kRefusalAuthDenied,
                  true},
        ErrorCase{"ShiftPromptDismissed", BusSetup::SyncOff, false, true, kDay,
                  "org.freedesktop.PolicyKit1.Error.Cancelled", 70, kRefusalAuthDenied},
        ErrorCase{"ShiftNoBus", BusSetup::NoBus, false, true, kDay, "", 70, kRefusalNoRight},
        ErrorCase{"ShiftNoTimedated", BusSetup::NoTimedated, false, true, kDay, "", 70, kRefusalNoRight},
        ErrorCase{"ShiftInvalidArgs", BusSetup::SyncOff, false, true, kFarPast, "", 5, 0},
        ErrorCase{"ShiftUnknownError", BusSetup::SyncOff, false, true, kDay, "org.example.Broken", 440, 0},
        ErrorCase{"SyncNoSyncUnitNothingToPause", BusSetup::NoSyncUnit, true, true, 0, "", 0, 0},
        ErrorCase{"SyncPolkitDenies", BusSetup::PolkitDenies, true, true, 0, "", 70, kRefusalAuthDenied},
        ErrorCase{"SyncQuietNeedsPrompt", BusSetup::PolkitDenies, true, false, 0, "", 70, kRefusalAuthDenied, true},
        ErrorCase{"SyncUnknownError", BusSetup::SyncOn, true, true, 0, "org.example.Broken", 440, 0},
        // The caller gave up waiting: the pause may still be made.
        ErrorCase{"SyncNoReply", BusSetup::SyncOn, true, true, 0, "org.freedesktop.DBus.Error.NoReply",
                  kErrUnconfirmed, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
