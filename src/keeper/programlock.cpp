#include "programlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include "registry.h"
#include "settingskey.h"
#include "xdgdirs_unix.h"
#endif

namespace {

const char* const kHolderWords[] = {"window", "at"};

QString describe(ProgramLock::Holder holder, qint64 pid)
{
    switch (holder) {
    case ProgramLock::Window:
        return QStringLiteral("The Ravodor window (process %1) is open").arg(pid);
    case ProgramLock::RunAt:
        return QStringLiteral("'ravodor --at' (process %1) has the date altered").arg(pid);
    case ProgramLock::Unknown:
        break;
    }
    return QStringLiteral("Another Ravodor (process %1) is running").arg(pid);
}

QString lockFolder(const QString& name)
{
#ifndef Q_OS_WIN
    // The settings key's own folder, made as the settings store makes it.
    const std::string config = xdg::baseFolder("XDG_CONFIG_HOME", ".config");
    const std::string keyPath = settingsKeyPath(name.toStdString());
    HKEY key = nullptr;
    if (!config.empty() && CreateKey(HKEY_CURRENT_USER, keyPath, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        // Below "Software", which is the configuration folder itself.
        QString belowSoftware = QString::fromStdString(keyPath).section(QLatin1Char('\\'), 1);
        return QString::fromStdString(config) + QLatin1Char('/')
               + belowSoftware.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
#else
    Q_UNUSED(name)
#endif
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

}  // namespace

QString runningRefusal(qint64 pid)
{
    return describe(ProgramLock::Unknown, pid) + QStringLiteral("; try again when it has ended.");
}

ProgramLock::ProgramLock(const QString& folder, const QString& name, Holder as) : as_(as)
{
    const QDir dir(folder.isEmpty() ? lockFolder(name) : folder);
    QDir().mkpath(dir.path());
    lock_ = std::make_unique<QLockFile>(dir.filePath(name + QStringLiteral(".lock")));
    // Only a dead owner makes a lock stale, never its age: the date moves.
    lock_->setStaleLockTime(0);
    QFile note(dir.filePath(name + QStringLiteral(".holder")));
    held_ = lock_->tryLock(0);
    if (held_) {
        // The note counts only while it names the lock's own process.
        if (as != Unknown && note.open(QIODevice::WriteOnly | QIODevice::Truncate))
            note.write(QByteArray(kHolderWords[as]) + ' ' + QByteArray::number(QCoreApplication::applicationPid()));
        return;
    }
    elsewhere_ = lock_->error() == QLockFile::LockFailedError;
    if (!elsewhere_ || !lock_->getLockInfo(&holderPid_, nullptr, nullptr))
        return;
    const QList<QByteArray> words =
        note.open(QIODevice::ReadOnly) ? note.read(64).split(' ') : QList<QByteArray>();
    if (words.size() == 2 && words[1].toLongLong() == holderPid_) {
        for (const Holder h : {Window, RunAt})
            if (words[0] == kHolderWords[h])
                holder_ = h;
    }
}

QString ProgramLock::refusal() const
{
    if (!elsewhere_)
        return QStringLiteral("The lock %1 cannot be made.").arg(QDir::toNativeSeparators(lock_->fileName()));
    const QString who = describe(holder_, holderPid_);
    if (as_ == RunAt && holder_ == RunAt)
        return QStringLiteral("Another ") + who + QStringLiteral("; try again when it has ended.");
    if (holder_ == Window)
        return who + QStringLiteral("; set the date there, or try again when it has closed.");
    return who + QStringLiteral("; try again when it has ended.");
}
