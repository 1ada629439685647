#pragma once
// A time service whose calls leave the window alive. A call may wait for a
// password prompt for a minute or more: it runs on a worker thread while this
// thread goes on painting, takes no user input, and answers the window
// manager, so no one marks the window as not responding.
// Input that arrives meanwhile waits and is delivered after the call.

#include <functional>
#include <memory>

#include "timeservice.h"

class ResponsiveTimeService final : public TimeService {
public:
    explicit ResponsiveTimeService(std::unique_ptr<TimeService> inner);

    bool available() override;
    SyncState syncState() override;
    AppError setSync(bool on, bool interactive) override;
    AppError shiftClock(std::int64_t deltaUs, bool interactive) override;

private:
    void runAside(const std::function<void()>& call);

    std::unique_ptr<TimeService> inner_;
};
