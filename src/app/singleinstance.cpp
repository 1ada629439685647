#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

// The lock is the program's alone: the guard never holds it, so a start
// right after a crash may run while the guard is still putting the date
// back. Both act on the same record toward the same real instant, and the
// one that comes second finds the clock right and leaves it alone.

namespace {

QString socketName(const QString& folder, const QString& name)
{
#ifdef Q_OS_WIN
    // Named pipes live in one flat space: the user's name keeps users apart.
    Q_UNUSED(folder);
    return name + QLatin1Char('-') + qEnvironmentVariable("USERNAME");
#else
    return QDir(folder).filePath(name + QStringLiteral(".socket"));
#endif
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, const QString& runtimeFolder, QObject* parent)
    : QObject(parent),
      folder_(runtimeFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                      : runtimeFolder),
      name_(name)
{
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit activationRequested();
        }
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryLead()
{
    QDir().mkpath(folder_);
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(name_ + QStringLiteral(".lock")));
    // Only a dead owner makes a lock stale: never its age, which a changed
    // system date makes meaningless.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            askLeaderForward();
            return false;
        }
        // No lock can be made here at all: better two programs than none.
    }
    const QString socket = socketName(folder_, name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a crashed leader would refuse the listen.
    if (!server_.listen(socket)) {
        QLocalServer::removeServer(socket);
        server_.listen(socket);
    }
    return true;
}

void SingleInstance::askLeaderForward()
{
    // The leader may hold the lock a moment before it listens.
    const QDeadlineTimer deadline(2000);
    do {
        QLocalSocket socket;
        socket.connectToServer(socketName(folder_, name_));
        if (socket.waitForConnected(500)) {
            socket.write("activate\n");
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
}
