// Time sync is paused while, and only while, the date is away from the real
// one; the system's time service sets the clock when the direct way is refused.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>

#include "fakeservices.h"
#include "responsivechanger.h"
#include "testenv.h"
#ifndef _WIN32
#include "privatebus.h"
#endif

namespace {

using Calls = std::vector<std::string>;

class TimeSyncTest : public MainWindowTest {
protected:
    void useService(SyncState sync)
    {
        service = std::make_unique<FakeTimeService>(&clock, sync);
        services.keeper = fakeKeeper(clock, service.get());
    }
    void set(const QString& date)
    {
        window->Text2->setText(date);
        window->cmdSet_Click();
    }
    std::unique_ptr<FakeTimeService> service;
};

TEST_F(TimeSyncTest, PausedBeforeTheSetAndResumedOnceByEveryRoadOutAndOtherwiseNeverTouched)
{
    const struct {
        const char* road;
        std::function<void(frmMain&)> leave;
    } roads[] = {
        {"Reset", [](frmMain& w) { w.cmdReset_Click(); }},
        {"Exit", [](frmMain& w) { w.cmdExit_Click(); }},
        {"close box", [](frmMain& w) { w.close(); }},
        {"countdown", [](frmMain& w) { w.startTimer(1); w.Timer1_Timer(); }},
        {"signal", [](frmMain& w) { w.closeQuietly(); }},
    };
    for (SyncState state : {SyncState::On, SyncState::Off, SyncState::None}) {
        const bool on = state == SyncState::On;
        for (const auto& r : roads) {
            SCOPED_TRACE(std::string(r.road) + (on ? ", sync on" : ", sync off or absent"));
            useService(state);
            show();
            set("12/12/2001");
            EXPECT_EQ(service->calls, (on ? Calls{"SetNTP(false)"} : Calls{}));
            EXPECT_EQ(clock.date(), QDate(2001, 12, 12));
            r.leave(*window);
            EXPECT_EQ(service->calls, (on ? Calls{"SetNTP(false)", "SetNTP(true)"} : Calls{}));
            EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
            EXPECT_FALSE(getSetting("", "RestoreRecord"));
            window.reset();
            clock = FakeClock(QDate(2004, 1, 10));
        }
    }
}

TEST_F(TimeSyncTest, APauseThatFailsChangesNothingAndSaysWhy)
{
    useService(SyncState::On);
    service->refusePause = AppError::authorisationDenied();
    show();
    set("12/12/2001");
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(dialogs.texts(), QStringList{"Automatic time synchronisation is on and could not be paused "
                                           "(not authorised). The date was not changed."});
    EXPECT_FALSE(child<QPushButton>("cmdReset")->isEnabled());
    EXPECT_FALSE(getSetting("", "RestoreRecord"));
}

TEST_F(TimeSyncTest, ARefusedDirectSetAsksTheServiceForTheDifference)
{
    // Amsterdam goes from winter to summer time between the two dates: the
    // difference is that of the instants, the time of day stays 12:00.
    clock = FakeClock(QDate(2004, 1, 10), 12 * 3600, "Europe/Amsterdam");
    useService(SyncState::Off);
    clock.failWith(AppError::permissionDenied());
    show();
    set("10/07/2004");
    ASSERT_EQ(service->shifts.size(), 1u);
    EXPECT_EQ(service->shifts[0], (182LL * 86400 - 3600) * 1000000);  // 182 days less the hour gained
    EXPECT_EQ(clock.date(), QDate(2004, 7, 10));
    EXPECT_EQ(dialogs.texts(), QStringList{"Date is now:  10/07/2004"});
}

TEST_F(TimeSyncTest, AnAuthorisationRefusedResumesTheSyncPausedForIt)
{
    useService(SyncState::On);
    clock.failWith(AppError::permissionDenied());
    service->refuseShift = AppError::authorisationDenied();
    show();
    set("12/12/2001");
    EXPECT_EQ(service->calls, (Calls{"SetNTP(false)", "SetTime", "SetNTP(true)"}));
    ASSERT_EQ(dialogs.texts().size(), 1);
    EXPECT_TRUE(dialogs.texts()[0].startsWith(
        "You do not have the proper privilege level to alter the System Time."));
    EXPECT_FALSE(getSetting("", "RestoreRecord"));
}

TEST_F(TimeSyncTest, ACloseDuringThePromptWaitsForTheSetAndThenPutsTheDateBack)
{
    useService(SyncState::On);
    clock.failWith(AppError::permissionDenied());
    show();
    service->duringShift = [this] {
        service->duringShift = nullptr;
        window->closeQuietly();
        EXPECT_EQ(endCount, 0);
    };
    set("12/12/2001");
    EXPECT_TRUE(QTest::qWaitFor([this] { return endCount == 1; }, 2000));
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_EQ(service->calls, (Calls{"SetNTP(false)", "SetTime", "SetTime", "SetNTP(true)"}));
}

// A lost display ends the process from the loop that waits for the answer:
// the set may be made already, and is waited for and undone, not left.
TEST_F(TimeSyncTest, TheLastChanceDuringTheSetWaitsForItAndPutsTheDateBack)
{
    useService(SyncState::On);
    clock.failWith(AppError::permissionDenied());
    services.keeper = std::make_shared<DateKeeper>(
        clock, std::make_unique<ResponsiveChanger>(std::make_unique<LocalChanger>(clock, *service)),
        "Software\\Zaduziro\\ravodor");
    show();
    service->duringShift = [] { QThread::msleep(300); };  // on the worker, the answer on its way
    bool ended = false;
    QTimer::singleShot(50, [&] {
        window->restoreAtExit();
        ended = true;
        EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
        EXPECT_EQ(service->calls, (Calls{"SetNTP(false)", "SetTime", "SetTime", "SetNTP(true)"}));
        EXPECT_FALSE(getSetting("", "RestoreRecord"));
    });
    set("12/12/2001");
    EXPECT_TRUE(ended);
}

TEST_F(TimeSyncTest, AResumeThatFailsNamesTheWayOutInWordsOnceAndExitTriesAgainSilently)
{
    const struct {
        AppError refusal;
        const char* reason;
    } cases[] = {
        {{kErrTimeService, "the time service is not running", {}, 0}, "the time service is not running"},
        {AppError::authorisationDenied(), "not authorised"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        useService(SyncState::On);
        show();
        set("12/12/2001");
        service->refuseResume = c.refusal;
        dialogs.clear();
        window->cmdReset_Click();
        EXPECT_EQ(dialogs.texts(),
                  (QStringList{QStringLiteral("Automatic time synchronisation could not be switched back on (%1). "
                                              "Switch it on in the date settings, or run: timedatectl set-ntp true")
                                   .arg(c.reason),
                               "Date restored to:  10/01/2004"}));
        window->cmdExit_Click();
        EXPECT_EQ(service->calls, (Calls{"SetNTP(false)", "SetNTP(true)", "SetNTP(true)"}));
        EXPECT_EQ(dialogs.texts().size(), 2);
        EXPECT_EQ(endCount, 1);
        window.reset();
        endCount = 0;
    }
}

#ifndef _WIN32
// End to end on a stand-in system bus: without the right to set the clock
// directly, the date is set through the time service with sync paused, and
// Reset puts both back.
TEST_F(TimeSyncTest, WithoutTheRightTheTimeServiceSetsAndSyncComesBackAfter)
{
    if (const std::string why = PrivateBus::missingTools(); !why.empty())
        GTEST_SKIP() << why;
    PrivateBus bus;
    ASSERT_TRUE(bus.ok()) << bus.error();
    const std::unique_ptr<TimeService> real = makeTimeService();
    services.keeper = fakeKeeper(clock, real.get());
    clock.failWith(AppError::permissionDenied());

    show();
    set("09/01/2004");
    window->cmdReset_Click();
    Calls texts;
    for (const BusCall& call : bus.calls())
        texts.push_back(call.text());
    // The stand-in moves no clock: the clock reads right, so Reset sets nothing.
    EXPECT_EQ(texts, (Calls{"SetNTP(0, 1)", "SetTime(-86400000000, 1, 1)", "SetNTP(1, 1)"}));
}
#endif

}  // namespace
