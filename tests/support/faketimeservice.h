#pragma once
// The system's time service as the window tests need it: sync on or off,
// refusals on request, every call recorded. A shift moves the fake clock.

#include <functional>
#include <string>
#include <vector>

#include "fakeclock.h"
#include "timeservice.h"

class FakeTimeService : public TimeService {
public:
    explicit FakeTimeService(FakeClock* clock = nullptr, SyncState sync = SyncState::None)
        : clock_(clock), sync_(sync)
    {
    }

    bool available() override { return present; }
    SyncState syncState() override { return sync_; }
    AppError setSync(bool on, bool) override
    {
        calls.push_back(on ? "SetNTP(true)" : "SetNTP(false)");
        if (AppError error = on ? refuseResume : refusePause) {
            if (landsLate && error.number == kErrUnconfirmed)
                sync_ = on ? SyncState::On : SyncState::Off;
            return error;
        }
        sync_ = on ? SyncState::On : SyncState::Off;
        return AppError::none();
    }
    AppError shiftClock(std::int64_t deltaUs, bool) override
    {
        calls.push_back("SetTime");
        shifts.push_back(deltaUs);
        if (duringShift)
            duringShift();  // what happens while a prompt is up
        if (refuseShift)
            return refuseShift;
        if (clock_)
            clock_->shiftByService(deltaUs * 1000);
        return AppError::none();
    }

    bool present = true;
    AppError refusePause, refuseResume, refuseShift;
    bool landsLate = false;  // a switch of sync left unanswered is made all the same
    std::vector<std::string> calls;
    std::vector<std::int64_t> shifts;
    std::function<void()> duringShift;

private:
    FakeClock* clock_;
    SyncState sync_;
};
