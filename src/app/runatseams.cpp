// Where --at meets the one-program rule and the guard. For now: a lock file
// of its own in the user's runtime folder, and no guard.

#include <QDir>
#include <QStandardPaths>

#include "guard.h"
#include "runat.h"
#include "runlock.h"

namespace {

class FileAlterLock : public AlterLock {
public:
    explicit FileAlterLock(const std::string& path) : lock_(path) {}
    bool held() const override { return lock_.held(); }

private:
    RunLock lock_;
};

}  // namespace

std::unique_ptr<AlterLock> takeAlterLock(const std::string& exeBaseName)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString path = QDir(folder).filePath(QString::fromStdString(exeBaseName) + QStringLiteral("-at.lock"));
    return std::make_unique<FileAlterLock>(QFile::encodeName(path).toStdString());
}

std::unique_ptr<GuardProcess> makeRunAtGuard(const std::string&)
{
    return nullptr;
}
