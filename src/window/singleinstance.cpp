#include "singleinstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QThread>
#include <QUuid>

#include <climits>

// The lock is the program's alone: the guard never holds it, so a start
// right after a crash may run while the guard is still putting the date
// back. Both act on the same record toward the same real instant, and the
// one that comes second finds the clock right and leaves it alone.

namespace {

const QString kPath = QStringLiteral("/org/example/ravodor/Window");
const QString kInterface = QStringLiteral("org.example.ravodor.Window");

// One name per executable name, as the lock: a renamed copy is another program.
QString serviceName(const QString& name)
{
    QString element;
    for (const QChar c : name)
        element += c.isLetterOrNumber() && c.unicode() < 128 ? c : QLatin1Char('_');
    if (element.isEmpty() || element[0].isDigit())
        element.prepend(QLatin1Char('_'));
    return QStringLiteral("org.example.ravodor.") + element;
}

}  // namespace

// The leader's side on the bus.
class SingleInstanceListener : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.ravodor.Window")
public:
    explicit SingleInstanceListener(SingleInstance* owner) : QObject(owner), owner_(owner) {}

public slots:
    Q_SCRIPTABLE void Activate(const QString& token) { emit owner_->activationRequested(token); }
    // Answers whether the date is in effect and the window's message, once
    // the window has acted.
    Q_SCRIPTABLE bool SetDate(const QString& date, const QString& token, QString& text)
    {
        emit owner_->activationRequested(token);
        if (!owner_->onDateHanded) {
            text = QStringLiteral("This window takes no date.");
            return false;
        }
        setDelayedReply(true);
        const QDBusMessage call = message();
        QDBusConnection bus = connection();
        // Acted on from the event loop, not inside the bus's delivery.
        QMetaObject::invokeMethod(
            this,
            [this, date, call, bus]() mutable {
                owner_->onDateHanded(date, [call, bus](bool done, const QString& text) mutable {
                    bus.send(call.createReply({done, text}));
                });
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    SingleInstance* owner_;
};

SingleInstance::SingleInstance(const QString& name, const QString& runtimeFolder, QObject* parent)
    : QObject(parent), name_(name), folder_(runtimeFolder), service_(serviceName(name))
{
}

SingleInstance::~SingleInstance()
{
    if (listener_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(kPath);
        bus.unregisterService(service_);
    }
}

bool SingleInstance::tryLead()
{
    lock_ = std::make_unique<ProgramLock>(folder_, name_, ProgramLock::Window);
    // No lock can be made here at all: better two programs than none.
    return !lock_->heldElsewhere();
}

void SingleInstance::listen()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (listener_ || !bus.isConnected())
        return;
    listener_ = new SingleInstanceListener(this);
    bus.registerObject(kPath, listener_, QDBusConnection::ExportScriptableSlots);
    bus.registerService(service_);
}

SingleInstance::Answer SingleInstance::askLeader(const std::optional<QString>& date, const QString& activationToken)
{
    Answer answer;
    const qint64 pid = lock_ ? lock_->holderPid() : 0;
    const QString unreached =
        QStringLiteral("Ravodor is already running (process %1), but its window could not be reached").arg(pid);
    // A connection of its own: never a call to itself through a shared one.
    const QString connectionName = QStringLiteral("ravodor-ask-") + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    const auto finish = [&] {
        QDBusConnection::disconnectFromBus(connectionName);
        return answer;
    };
    if (!bus.isConnected()) {
        answer.message = unreached + QStringLiteral(": there is no session bus.");
        return finish();
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service_, kPath, kInterface,
                                                       date ? QStringLiteral("SetDate") : QStringLiteral("Activate"));
    if (date)
        call << *date;
    call << activationToken;
    // The leader answers once its first frame is out; a set may wait for a
    // password prompt as long as the user takes, and the bus tells if the
    // leader ends meanwhile.
    // Only a name that has an owner is called: a call to one without any is
    // answered by the bus at once, but need not be waited for at all.
    const QDeadlineTimer deadline(5000);
    while (!bus.interface()->isServiceRegistered(service_).value() && !deadline.hasExpired())
        QThread::msleep(50);
    const QDBusMessage reply = bus.interface()->isServiceRegistered(service_).value()
                                   ? bus.call(call, QDBus::BlockWithGui, INT_MAX)
                                   : QDBusMessage::createError(QDBusError::ServiceUnknown, service_);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        answer.message = unreached + QStringLiteral(".");
        return finish();
    }
    answer.reached = true;
    answer.done = !date || reply.arguments().value(0).toBool();
    answer.message = reply.arguments().value(1).toString();
    return finish();
}

#include "singleinstance.moc"
