#pragma once
// Turns the operating system's requests to end the program (SIGTERM, SIGHUP,
// SIGINT, SIGQUIT on Unix) into a Qt signal on the user-interface thread, so
// the program can close the way it always does and put the real date back.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};
