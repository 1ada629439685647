// The time service against a private bus with stand-ins for timedated and
// polkit; never the machine's own bus.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>

#include "privatebus.h"
#include "timeservice.h"

namespace {

using Seconds = std::chrono::duration<double>;

enum class BusSetup { NoBus, NoTimedated, NoSyncUnit, SyncOff, SyncOn, PolkitDenies };

PrivateBus::Options optionsFor(BusSetup setup)
{
    PrivateBus::Options o;
    o.timedated = setup != BusSetup::NoTimedated;
    o.canNtp = setup != BusSetup::NoSyncUnit;
    o.ntp = setup == BusSetup::SyncOn;
    o.polkitAllows = setup != BusSetup::PolkitDenies;
    return o;
}

class TimeServiceTest : public ::testing::Test {
protected:
    // Starts the bus `setup` asks for; the test returns when this skips or fails.
    void start(BusSetup setup, double stopJobSeconds = 0.2)
    {
        if (setup == BusSetup::NoBus) {
            noBus_ = std::make_unique<NoBus>();
            return;
        }
        const std::string missing = PrivateBus::missingTools();
        if (!missing.empty())
            GTEST_SKIP() << missing;
        PrivateBus::Options options = optionsFor(setup);
        options.stopJobSeconds = stopJobSeconds;
        bus_ = std::make_unique<PrivateBus>(options);
        ASSERT_TRUE(bus_->ok()) << bus_->error();
    }
    bool stopped() const { return IsSkipped() || HasFatalFailure(); }

    std::unique_ptr<NoBus> noBus_;
    std::unique_ptr<PrivateBus> bus_;
    std::unique_ptr<TimeService> service_ = makeTimeService();
};

struct SyncStateCase {
    const char* name;
    BusSetup setup;
    SyncState expected;
};

void PrintTo(const SyncStateCase& c, std::ostream* out) { *out << c.name; }

class SyncStateTest : public TimeServiceTest, public ::testing::WithParamInterface<SyncStateCase> {};

TEST_P(SyncStateTest, ReadsTheService)
{
    start(GetParam().setup);
    if (stopped())
        return;
    EXPECT_EQ(service_->syncState(), GetParam().expected);
    EXPECT_EQ(service_->available(), GetParam().setup != BusSetup::NoBus && GetParam().setup != BusSetup::NoTimedated);
}

INSTANTIATE_TEST_SUITE_P(Cases, SyncStateTest,
    ::testing::Values(SyncStateCase{"NoBus", BusSetup::NoBus, SyncState::None},
                      SyncStateCase{"NoTimedated", BusSetup::NoTimedated, SyncState::None},
                      SyncStateCase{"NoSyncUnit", BusSetup::NoSyncUnit, SyncState::None},
                      SyncStateCase{"Off", BusSetup::SyncOff, SyncState::Off},
                      SyncStateCase{"On", BusSetup::SyncOn, SyncState::On}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimeServiceTest, PausingWaitsForTheStopJobSoTheClockCanBeSetAtOnce)
{
    start(BusSetup::SyncOn, 0.4);
    if (stopped())
        return;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(service_->setSync(false, true));
    EXPECT_GE(Seconds(std::chrono::steady_clock::now() - begin).count(), 0.35);
    EXPECT_EQ(service_->syncState(), SyncState::Off);
    EXPECT_FALSE(service_->shiftClock(1000000, true));

    const std::vector<BusCall> calls = bus_->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text(), "SetNTP(0, 1)");
    EXPECT_EQ(calls[1].text(), "SetTime(1000000, 1, 1)");
    EXPECT_EQ(calls[1].error, "");
}

TEST_F(TimeServiceTest, ResumingWaitsUntilSyncReportsOn)
{
    start(BusSetup::SyncOff);
    if (stopped())
        return;
    EXPECT_FALSE(service_->setSync(true, false));
    EXPECT_EQ(service_->syncState(), SyncState::On);
    ASSERT_EQ(bus_->calls().size(), 1u);
    EXPECT_EQ(bus_->calls()[0].text(), "SetNTP(1, 0)");
}

TEST_F(TimeServiceTest, ShiftSendsTheRelativeAmountAndTheInteractiveFlag)
{
    start(BusSetup::SyncOff);
    if (stopped())
        return;
    EXPECT_FALSE(service_->shiftClock(-86400123456, true));
    EXPECT_FALSE(service_->shiftClock(3600000000, false));
    const std::vector<BusCall> calls = bus_->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text(), "SetTime(-86400123456, 1, 1)");
    EXPECT_EQ(calls[1].text(), "SetTime(3600000000, 1, 0)");
}

TEST_F(TimeServiceTest, ShiftRefusedWhileSyncStaysOnGivesUpAfterABoundedWait)
{
    start(BusSetup::SyncOn);
    if (stopped())
        return;
    const auto begin = std::chrono::steady_clock::now();
    const AppError error = service_->shiftClock(86400000000, true);
    const double waited = Seconds(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(error.number, kErrSyncStillOn);
    EXPECT_GE(waited, 4.0);
    EXPECT_LT(waited, 10.0);
    const std::vector<BusCall> calls = bus_->calls();
    EXPECT_GT(calls.size(), 1u);  // retried
    for (const BusCall& call : calls)
        EXPECT_EQ(call.error, "org.freedesktop.timedate1.AutomaticTimeSyncEnabled");
}

// One failing call and what it becomes.
struct ErrorCase {
    const char* name;
    BusSetup setup;
    bool sync;            // setSync(false) rather than shiftClock
    bool interactive;
    std::int64_t deltaUs;
    const char* failWith;  // "" or a D-Bus error the stand-in answers with
    int number;
    int cause;
    const char* description;
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.name; }

constexpr std::int64_t kDay = 86400000000;
constexpr std::int64_t kFarPast = std::numeric_limits<std::int64_t>::min() + 1;

class TimeServiceErrorTest : public TimeServiceTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(TimeServiceErrorTest, MapsTheAnswer)
{
    const ErrorCase& c = GetParam();
    start(c.setup);
    if (stopped())
        return;
    if (*c.failWith) {
        ASSERT_TRUE(bus_->failNext(c.sync ? "SetNTP" : "SetTime", c.failWith, "it broke")) << bus_->error();
    }
    const AppError error = c.sync ? service_->setSync(false, c.interactive) : service_->shiftClock(c.deltaUs, c.interactive);
    EXPECT_EQ(error.number, c.number);
    if (c.number == kErrPermissionDenied) {
        EXPECT_EQ(error.cause, c.cause);
    }
    if (*c.description) {
        EXPECT_EQ(error.description, c.description);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeServiceErrorTest,
    ::testing::Values(
        ErrorCase{"ShiftPolkitDenies", BusSetup::PolkitDenies, false, true, kDay, "", 70, kRefusalAuthDenied, ""},
        ErrorCase{"ShiftQuietNeedsPrompt", BusSetup::PolkitDenies, false, false, kDay, "", 70, kRefusalAuthDenied, ""},
        ErrorCase{"ShiftPromptDismissed", BusSetup::SyncOff, false, true, kDay,
                  "org.freedesktop.PolicyKit1.Error.Cancelled", 70, kRefusalAuthDenied, ""},
        ErrorCase{"ShiftNoBus", BusSetup::NoBus, false, true, kDay, "", 70, kRefusalNoRight, ""},
        ErrorCase{"ShiftNoTimedated", BusSetup::NoTimedated, false, true, kDay, "", 70, kRefusalNoRight, ""},
        ErrorCase{"ShiftInvalidArgs", BusSetup::SyncOff, false, true, kFarPast, "", 5, 0, ""},
        ErrorCase{"ShiftUnknownError", BusSetup::SyncOff, false, true, kDay, "org.example.Broken", 440, 0,
                  "org.example.Broken: it broke"},
        ErrorCase{"SyncNoSyncUnitNothingToPause", BusSetup::NoSyncUnit, true, true, 0, "", 0, 0, ""},
        ErrorCase{"SyncPolkitDenies", BusSetup::PolkitDenies, true, true, 0, "", 70, kRefusalAuthDenied, ""},
        ErrorCase{"SyncUnknownError", BusSetup::SyncOn, true, true, 0, "org.example.Broken", 440, 0,
                  "org.example.Broken: it broke"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
