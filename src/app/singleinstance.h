#pragma once
// One program at a time per user: the first start leads; a later one asks
// it to come to the front and ends without touching the clock or the
// settings.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // runtimeFolder: where the lock and the socket live; empty for the
    // user's runtime folder (XDG_RUNTIME_DIR on Linux).
    explicit SingleInstance(const QString& name, const QString& runtimeFolder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True: this one leads. False: another runs and was asked to come forward.
    bool tryLead();

signals:
    // A later start asked this one to come to the front.
    void activationRequested();

private:
    void askLeaderForward();

    QString folder_;
    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};
