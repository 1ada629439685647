#include "alterednotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

#include "version.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kResetKey = QStringLiteral("reset");
const QString kDefaultKey = QStringLiteral("default");
// A service that does not answer this soon does not hold up the end.
constexpr int kLastCallMs = 500;

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

AlteredNotice::AlteredNotice(QObject* parent, std::function<void()> reset,
                             std::function<void(const QString&)> show)
    : QObject(parent), reset_(std::move(reset)), show_(std::move(show))
{
}

AlteredNotice::~AlteredNotice()
{
    if (connection_.isEmpty())
        return;
    // Nobody is left to answer its button.
    withdraw(true);
    QDBusConnection::disconnectFromBus(connection_);
}

// A connection of its own, made only once a notification is wanted: most
// desktops have a tray and never pay for it.
bool AlteredNotice::connectBus()
{
    if (!connection_.isEmpty())
        return connected_;
    static int count = 0;
    connection_ = QStringLiteral("ravodor-notice-%1").arg(++count);
    // By its address where one is given: libdbus reads the variable once a
    // process, and a session bus that was replaced would never be found.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection bus = address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection_)
                              : QDBusConnection::connectToBus(address, connection_);
    connected_ = bus.isConnected();
    if (connected_) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(closed(uint, uint)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActivationToken"), this,
                    SLOT(activationToken(uint, QString)));
    }
    return connected_;
}

void AlteredNotice::showAltered(const QString& inEffect, const QString& real)
{
    body_ = QStringLiteral("The system date is set to %1; the real date is %2").arg(inEffect, real);
    wanted_ = true;
    if (!connectBus())
        return;
    if (capabilities_ == Capabilities::Unknown) {
        // The action is offered only where the server shows actions.
        capabilities_ = Capabilities::Asked;
        auto* watcher = new QDBusPendingCallWatcher(
            QDBusConnection(connection_).asyncCall(call(QStringLiteral("GetCapabilities"))), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, &AlteredNotice::capabilitiesAnswered);
        return;
    }
    notify();
}

void AlteredNotice::capabilitiesAnswered(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QStringList> reply = *watcher;
    if (reply.isError()) {
        // No service: asked again with the next change.
        capabilities_ = Capabilities::Unknown;
        return;
    }
    capabilities_ = reply.value().contains(QStringLiteral("actions")) ? Capabilities::Actions
                                                                       : Capabilities::NoActions;
    notify();
}

void AlteredNotice::notify()
{
    // One at a time: the answer to this one gives the id the next replaces.
    if (!wanted_ || pending_ || capabilities_ == Capabilities::Asked || shownBody_ == body_)
        return;
    QStringList actions;
    if (capabilities_ == Capabilities::Actions)
        actions << kDefaultKey << QStringLiteral("Show") << kResetKey << QStringLiteral("Reset to actual date");
    const QVariantMap hints{
        {QStringLiteral("resident"), true},
        {QStringLiteral("desktop-entry"), QStringLiteral(RAVODOR_APP_ID)},
    };
    QDBusMessage message = call(QStringLiteral("Notify"));
    // An empty body_ never reaches here; expire_timeout 0: until withdrawn.
    message << QStringLiteral("Ravodor") << id_ << QStringLiteral("ravodor") << QStringLiteral("Ravodor") << body_
            << actions << hints << 0;
    pending_ = true;
    shownBody_ = body_;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection(connection_).asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &AlteredNotice::notifyAnswered);
}

void AlteredNotice::notifyAnswered(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    pending_ = false;
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        shownBody_.clear();
        return;
    }
    id_ = reply.value();
    if (!wanted_)
        withdraw();  // the real date came back while it was on its way
    else
        notify();  // the dates changed while it was on its way
}

void AlteredNotice::withdraw(bool beforeExit)
{
    wanted_ = false;
    if (!id_ || pending_)
        return;
    QDBusMessage close = call(QStringLiteral("CloseNotification")) << id_;
    if (beforeExit)
        QDBusConnection(connection_).call(close, QDBus::Block, kLastCallMs);
    else
        QDBusConnection(connection_).asyncCall(close);
    id_ = 0;
    shownBody_.clear();
}

void AlteredNotice::actionInvoked(uint id, const QString& key)
{
    if (id != id_ || !id_)
        return;
    sinceAction_.start();
    const QString token = std::exchange(token_, QString());
    if (key == kResetKey)
        reset_();
    else if (key == kDefaultKey)
        show_(token);
}

void AlteredNotice::activationToken(uint id, const QString& token)
{
    if (id == id_ && id_)
        token_ = token;
}

void AlteredNotice::closed(uint id, uint reason)
{
    if (id != id_ || !id_)
        return;
    id_ = 0;
    // "Dismissed" (2) right after an action is the daemon's doing (some close
    // a resident notification once clicked), as is an expiry: shown again.
    // Dismissed by the user: not brought back until the dates change.
    constexpr uint kDismissed = 2;
    constexpr qint64 kAfterActionMs = 2000;
    const bool byDaemon = reason != kDismissed
                          || (sinceAction_.isValid() && sinceAction_.elapsed() < kAfterActionMs);
    sinceAction_.invalidate();
    if (byDaemon) {
        shownBody_.clear();
        notify();
    } else {
        shownBody_ = body_;
    }
}
