#pragma once
// Starts a program for the window through `ravodor --at DATE --only`, apart
// from the window so it outlives it, and hears once how the start went
// (startreport.h): the window then says so in words.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "startreport.h"

class QSocketNotifier;

class ProgramStart : public QObject {
    Q_OBJECT
public:
    // Called once: the report, or `heard` false when none came whole.
    using Heard = std::function<void(const StartReport& report, bool heard)>;

    ProgramStart(QObject* parent, Heard heard);

    // `ravodor --at DATE --only -- COMMAND`; false with `why` when Ravodor
    // itself could not be started.
    bool start(const QString& ravodor, const QString& date, const std::vector<std::string>& command, QString* why);

    // The user's terminal emulator, Debian's x-terminal-emulator; "" when none.
    static QString terminalEmulator();
    // Runs the same in that terminal, which stays open until Enter is pressed.
    static bool startInTerminal(const QString& ravodor, const QString& date, const std::vector<std::string>& command,
                                QString* why);

    ~ProgramStart() override;

private:
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::string received_;
    Heard heard_;
};

// The words the window shows for a report about `name`, shown `shown`.
QString startWords(const QString& name, const QString& shown, const StartReport& report, bool heard);
