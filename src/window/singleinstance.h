#pragma once
// One program at a time per user: the first start leads; a later one hands
// it its date, or asks it to come to the front, and ends without touching the
// clock or the settings. The leader listens on the session bus; without one
// the lock alone keeps the second start out.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "programlock.h"

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the executable's base name. runtimeFolder: where the lock lives;
    // empty for the settings folder (ProgramLock).
    explicit SingleInstance(const QString& name, const QString& runtimeFolder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True: this one leads. False: another holds the lock (see lock()).
    bool tryLead();
    const ProgramLock& lock() const { return *lock_; }

    // The leader starts answering later starts. Apart from tryLead, so that
    // it need not delay the first frame.
    void listen();

    // What a later start learns from the leader.
    struct Answer {
        bool reached = false;  // false: no window answered; `message` says why
        bool done = false;     // the date asked for is in effect
        QString message;       // the window's own words about the set
    };
    // From a later start: hands `date` to the leading window, as if typed
    // there and Set pressed, or with no date only brings it forward; with
    // the activation token this start was given, for the window to use.
    Answer askLeader(const std::optional<QString>& date, const QString& activationToken = {});

    // Called in the leader with a date from a later start; `answer` is called
    // once, with whether the date is in effect and the window's message.
    using Reply = std::function<void(bool done, const QString& message)>;
    std::function<void(const QString& date, const Reply& answer)> onDateHanded;

signals:
    // A later start asked this one to come to the front, with its token.
    void activationRequested(const QString& activationToken);

private:
    QString name_;
    QString folder_;
    QString service_;
    std::unique_ptr<ProgramLock> lock_;
    QObject* listener_ = nullptr;
};
