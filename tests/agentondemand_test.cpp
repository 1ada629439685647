// --at's password agent: each guard whose request needs a password gets an
// agent for its own process, a guard that replaced a gone one included.

#include <gtest/gtest.h>

#include <vector>

#include "agentondemand.h"

namespace {

// A guard that needs a password for every change; restartGuard() gives a new process.
class AskingGuard final : public DateChanger {
public:
    SyncState syncState() override { return SyncState::Off; }
    AppError setSync(bool, bool interactive) override { return answer(interactive); }
    AppError setDate(const CivilDate&, bool interactive) override { return answer(interactive); }
    AppError undo(bool interactive) override { return answer(interactive); }
    AppError adopt(const CivilDate&, bool) override { return AppError::none(); }
    std::int64_t guardPid() const override { return pid_; }
    bool restartGuard() override
    {
        ++pid_;
        return true;
    }
    bool needsPassword = true;

private:
    AppError answer(bool interactive) const
    {
        return interactive || !needsPassword ? AppError::none() : AppError::interactionRequired();
    }
    std::int64_t pid_ = 100;
};

TEST(AgentOnDemand, EachGuardThatNeedsAPasswordGetsAnAgentOfItsOwn)
{
    enum Step { Set, Back, Replace, NoPasswordNeeded };
    const struct {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::int64_t> agents;  // the guards the agent was started for, in order
    } rows[] = {
        {"one guard asked twice", {Set, Back}, {100}},
        {"a guard replaced before the way back", {Set, Replace, Back}, {100, 101}},
        {"a replaced guard that needs no password", {Set, Replace, NoPasswordNeeded, Back}, {100}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto owned = std::make_unique<AskingGuard>();
        AskingGuard* guard = owned.get();
        std::vector<std::int64_t> agents;
        AgentOnDemand changer(std::move(owned), [&agents](std::int64_t pid) { agents.push_back(pid); });
        for (const Step step : row.steps) {
            if (step == Replace)
                changer.restartGuard();
            else if (step == NoPasswordNeeded)
                guard->needsPassword = false;
            else
                EXPECT_FALSE(step == Set ? changer.setDate({2031, 3, 15}, true) : changer.undo(true));
        }
        EXPECT_EQ(agents, row.agents);
    }
}

}  // namespace
