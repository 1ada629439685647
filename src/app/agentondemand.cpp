#include "agentondemand.h"

AgentOnDemand::AgentOnDemand(std::unique_ptr<DateChanger> inner, std::function<void(std::int64_t pid)> startAgent)
    : inner_(std::move(inner)), startAgent_(std::move(startAgent))
{
}

AppError AgentOnDemand::setSync(bool on, bool interactive)
{
    return ask(interactive, [&](bool prompt) { return inner_->setSync(on, prompt); });
}

AppError AgentOnDemand::setDate(const CivilDate& date, bool interactive)
{
    return ask(interactive, [&](bool prompt) { return inner_->setDate(date, prompt); });
}

AppError AgentOnDemand::undo(bool interactive)
{
    return ask(interactive, [&](bool prompt) { return inner_->undo(prompt); });
}

AppError AgentOnDemand::ask(bool interactive, const std::function<AppError(bool)>& call)
{
    // Once this guard's agent was wanted, asking quietly first would only cost a round trip.
    if (!interactive || (agentFor_ != 0 && agentFor_ == inner_->guardPid()))
        return call(interactive);
    const AppError quiet = call(false);
    if (!quiet.needsInteraction())
        return quiet;
    // polkit finds an agent by the process that asks: a guard that replaced
    // a gone one needs one of its own.
    agentFor_ = inner_->guardPid();
    startAgent_(agentFor_);
    // Also without an agent of ours: the desktop's own may answer the prompt.
    return call(true);
}
