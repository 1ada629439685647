// Where --at meets the one-program rule: it takes the same lock as the
// window, so neither starts while the other has the clock.

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include "runat.h"

namespace {

class ProgramLock : public AlterLock {
public:
    explicit ProgramLock(const QString& path) : lock_(path)
    {
        // Only a dead owner makes it stale, never its age: the date moves.
        lock_.setStaleLockTime(0);
        held_ = lock_.tryLock(0);
    }
    bool held() const override { return held_; }

private:
    QLockFile lock_;
    bool held_ = false;
};

}  // namespace

std::unique_ptr<AlterLock> takeAlterLock(const std::string& exeBaseName)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(folder);
    return std::make_unique<ProgramLock>(QDir(folder).filePath(QString::fromStdString(exeBaseName) + QStringLiteral(".lock")));
}
