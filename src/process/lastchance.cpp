#include "lastchance.h"

#include <mutex>
#include <utility>

namespace {

std::function<void()> g_restore;

void runLastChance()
{
    // A second thread on its way out waits for the restore under way, rather
    // than ending the process in the middle of it.
    static std::recursive_mutex running;
    const std::lock_guard<std::recursive_mutex> lock(running);
    // Taken out first: a restore that itself calls exit() does not recurse.
    std::function<void()> restore = std::move(g_restore);
    g_restore = nullptr;
    if (!restore)
        return;
    limitTimeLeft(5);
    restore();
    limitTimeLeft(0);
}

}  // namespace

LastChance::LastChance(std::function<void()> restore)
{
    static const bool registered = (registerExitHook(runLastChance), true);
    (void)registered;
    g_restore = std::move(restore);
}

void lastChanceNow()
{
    runLastChance();
}

LastChance::~LastChance()
{
    runLastChance();
}
