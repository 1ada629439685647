#pragma once
// Where the desktop has no tray, one resident notification says that a date
// other than the real one is in effect, through the freedesktop notification
// service on the session bus. Every call is asynchronous: a bus or service
// that is slow or absent never holds up the window, and absent means nothing.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class QDBusPendingCallWatcher;

class AlteredNotice : public QObject {
    Q_OBJECT
public:
    // `reset` is what the notification's "Reset to actual date" does,
    // `show` what a click on the notification does, with the service's
    // activation token where it gave one.
    AlteredNotice(QObject* parent, std::function<void()> reset, std::function<void(const QString&)> show);
    ~AlteredNotice() override;

    // Shows or updates the notification naming both dates.
    void showAltered(const QString& inEffect, const QString& real);
    // `beforeExit`: the program ends right after, so the call waits (briefly)
    // until the service has it.
    void withdraw(bool beforeExit = false);

private:
    bool connectBus();
    void notify();
    void capabilitiesAnswered(QDBusPendingCallWatcher* call);
    void notifyAnswered(QDBusPendingCallWatcher* call);
    Q_SLOT void actionInvoked(uint id, const QString& key);
    Q_SLOT void closed(uint id, uint reason);
    Q_SLOT void activationToken(uint id, const QString& token);

    std::function<void()> reset_;
    std::function<void(const QString&)> show_;
    QString token_;             // for the action that follows
    QString connection_;  // empty until the bus was tried
    bool connected_ = false;
    enum class Capabilities { Unknown, Asked, NoActions, Actions } capabilities_ = Capabilities::Unknown;
    QString body_;       // what the notification says, or should say
    QString shownBody_;  // what the one on screen says
    bool wanted_ = false;
    bool pending_ = false;  // a Notify is under way: its answer brings the id
    uint id_ = 0;
    QElapsedTimer sinceAction_;  // on the one shown now
};
