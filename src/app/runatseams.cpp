// Where --at meets the one-program rule: it takes the same lock as the
// window, so neither starts while the other has the clock.

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
