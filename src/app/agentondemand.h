#pragma once
// --at asks the time service quietly first, and brings up the terminal's
// password agent only once an answer says a password is needed: a run that
// needs none shows nothing of the agent, and one by a helper that holds the
// right never starts it.

#include <functional>
#include <memory>

#include "datechanger.h"

class AgentOnDemand final : public DateChanger {
public:
    // `startAgent` gets the process whose prompts the agent answers, in
    // place of any it answered before, and returns once it is ready (or
    // could not start).
    AgentOnDemand(std::unique_ptr<DateChanger> inner, std::function<void(std::int64_t pid)> startAgent);

    SyncState syncState() override { return inner_->syncState(); }
    AppError setSync(bool on, bool interactive) override;
    AppError setDate(const CivilDate& date, bool interactive) override;
    AppError undo(bool interactive) override;
    AppError adopt(const CivilDate& realDate, bool syncPaused) override { return inner_->adopt(realDate, syncPaused); }

    std::int64_t guardPid() const override { return inner_->guardPid(); }
    bool startGuard() override { return inner_->startGuard(); }
    int guardEndFd() const override { return inner_->guardEndFd(); }
    bool guardRunning() override { return inner_->guardRunning(); }
    bool restartGuard() override { return inner_->restartGuard(); }

private:
    AppError ask(bool interactive, const std::function<AppError(bool interactive)>& call);

    std::unique_ptr<DateChanger> inner_;
    std::function<void(std::int64_t)> startAgent_;
    std::int64_t agentFor_ = 0;  // the guard whose prompts the agent answers
};
