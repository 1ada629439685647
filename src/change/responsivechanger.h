#pragma once
// Changes whose requests leave the window alive. A request may wait for a
// password prompt for a minute or more: it runs on a worker thread while this
// thread goes on painting, takes no user input, and answers the window
// manager, so no one marks the window as not responding.
// Input that arrives meanwhile waits and is delivered after the request.

#include <functional>
#include <memory>
#include <mutex>

#include "datechanger.h"

class ResponsiveChanger final : public DateChanger {
public:
    explicit ResponsiveChanger(std::unique_ptr<DateChanger> inner);

    SyncState syncState() override;
    AppError setSync(bool on, bool interactive) override;
    AppError setDate(const CivilDate& date, bool interactive) override;
    AppError undo(bool interactive) override;
    AppError adopt(const CivilDate& realDate, bool syncPaused) override;
    std::int64_t guardPid() const override { return inner_->guardPid(); }
    bool startGuard() override { return inner_->startGuard(); }
    int guardEndFd() const override { return inner_->guardEndFd(); }
    bool guardRunning() override { return inner_->guardRunning(); }
    bool restartGuard() override { return inner_->restartGuard(); }

private:
    AppError ask(bool mayPrompt, const std::function<AppError()>& call);
    AppError runAside(const std::function<AppError()>& call);

    std::unique_ptr<DateChanger> inner_;
    // The last chance calls directly, perhaps while a call runs aside: it
    // waits for that one's answer (a set the guard may have made) first.
    std::mutex calls_;
};
