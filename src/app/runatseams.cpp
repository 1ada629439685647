// Where --at meets the one-program rule and the guard: it takes the same
// lock as the window, so neither starts while the other has the clock.

#include "guard.h"
#include "processinfo.h"
#include "programlock.h"
#include "runat.h"

namespace {

class RunAtLock : public AlterLock {
public:
    explicit RunAtLock(const QString& name) : lock_({}, name, ProgramLock::RunAt) {}
    bool held() const override { return lock_.held(); }
    QString refusal() const override { return lock_.refusal(); }

private:
    ProgramLock lock_;
};

}  // namespace

std::unique_ptr<AlterLock> takeAlterLock(const std::string& exeBaseName)
{
    return std::make_unique<RunAtLock>(QString::fromStdString(exeBaseName));
}

std::unique_ptr<GuardProcess> makeRunAtGuard(const std::string& exeBaseName)
{
    const std::string path = guardExecutablePath(currentProgramFolder());
    return path.empty() ? nullptr : makeGuardProcess(path, exeBaseName);
}
