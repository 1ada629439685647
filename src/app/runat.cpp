#include "runat.h"

#include <QDate>
#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "authagent.h"
#include "childcommand.h"
#include "clock.h"
#include "commandline.h"
#include "datekeeper.h"
#include "keepermessages.h"
#include "refusalmessage.h"
#include "datetext.h"
#include "guard.h"
#include "settingskey.h"

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "ravodor: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Why the date could not be set, and the exit code that says so.
int refuse(const AppError& error)
{
    const QString reason = QString::fromStdString(error.description);
    switch (error.number) {
    case kErrPermissionDenied:
        say(refusalMessage(error, RefusalPlace::CommandLine));
        return kExitNoPerm;
    case kErrSyncNotPaused:
        say(notChangedMessage(error));
        return kExitUnavailable;
    case kErrInvalidCall:
        say(QStringLiteral("The system cannot be set to that date."));
        return kExitNotADate;
    case kErrNoRecord:
        say(notChangedMessage(error));
        return kExitCantCreate;
    case kErrRecordPending:
        say(notChangedMessage(error));
        return kExitSoftware;
    case kErrTimeService:
    case kErrSyncStillOn:
        say(QStringLiteral("The time service failed: %1").arg(reason));
        return kExitUnavailable;
    default:
        say(QStringLiteral("The date could not be set: %1").arg(reason));
        return kExitOsError;
    }
}

}  // namespace

int runAt(const QString& dateText, const QStringList& command, const std::string& exeBaseName, bool askPassword)
{
    if (!ChildCommand::supported()) {
        say(QStringLiteral("--at is not supported on this system yet."));
        return kExitUnavailable;
    }
    if (!ChildCommand::runsAsCaller()) {
        // A setuid program would hand its user to any command.
        say(QStringLiteral("--at runs no command as another user: give the program the capability "
                           "to set the clock instead of setuid or setgid (see ravodor(1))."));
        return kExitNoPerm;
    }
    const DateText dates(QLocale::system());
    const QDate wanted = dates.parse(dateText);
    if (!wanted.isValid() || !DateText::inRange(wanted)) {
        say(QStringLiteral("'%1' is not a date; write it as YYYY-MM-DD.").arg(dateText));
        return kExitNotADate;
    }

    // Everything that can fail without the date is checked before it changes.
    std::vector<std::string> argv;
    for (const QString& arg : command)
        argv.push_back(arg.toLocal8Bit().toStdString());
    std::string path;
    if (const int status = ChildCommand::find(argv.front(), &path)) {
        say(QStringLiteral("%1: %2").arg(command.first(), status == kExitNotFound
                                                              ? QStringLiteral("command not found")
                                                              : QStringLiteral("cannot be run")));
        return status;
    }
    const std::unique_ptr<AlterLock> lock = takeAlterLock(exeBaseName);
    if (!lock->held()) {
        say(lock->refusal());
        return kExitTempFail;
    }

    // From here no ending signal ends this process between setting the date
    // and putting it back: it goes to the command, or waits for the end.
    ChildCommand child;
    // Ends after the keeper: the way back may prompt as well.
    AuthAgent agent;
    const std::unique_ptr<SystemClock> clock = makeSystemClock();
    // Only the guard sets the clock.
    DateKeeper keeper(*clock, makeGuardedChanger(*clock, exeBaseName), settingsKeyPath(exeBaseName));
    keeper.onSyncNotResumed = [](const AppError& error) { say(syncNotResumedMessage(error)); };
    // polkit finds a process's agent by the process that asks: the guard.
    // Started first, as putting right what a program left may prompt too.
    if (askPassword)
        agent.start(keeper.startGuard());
    // A program that ended with the date altered is put right first.
    if (const Recovery recovery = keeper.recover(); recovery.found)
        say(recoveryMessage(recovery, dates));
    if (const AppError error = keeper.setDate(DateText::toCivil(wanted)); error && error.number != kErrUnconfirmed)
        return refuse(error);
    else if (error)
        say(unconfirmedMessage(dates.format(wanted)));

    // A guard that ends while the command runs is replaced at once.
    const auto guardEnded = [&keeper] {
        if (const AppError error = keeper.guardEnded())
            say(guardLostMessage(error));
        return keeper.guardEndFd();
    };
    int status = child.run(path, argv, {keeper.guardEndFd(), guardEnded});
    if (status < 0) {
        // After EINTR the held signal ends this process once the date is back.
        const int error = errno;
        say(error == EINTR ? QStringLiteral("Interrupted before %1 started.").arg(command.first())
                           : QStringLiteral("%1: %2").arg(command.first(),
                                                          QString::fromLocal8Bit(std::strerror(error))));
        status = error == ENOENT ? kExitNotFound : kExitCannotRun;
    }

    const DateKeeper::Restored restored = keeper.restore();
    if (restored.clock) {
        say(QStringLiteral("The real date could not be put back: set the clock to %1 yourself (%2).")
                .arg(dates.format(DateText::toQDate(keeper.realDate())),
                     QString::fromStdString(restored.clock.description)));
        return kExitSoftware;
    }
    return status;
}
