#include "runat.h"

#include <QDate>
#include <QLocale>

#include <algorithm>

#include "agentondemand.h"
#include "authagent.h"
#include "childcommand.h"
#include "clock.h"
#include "commandline.h"
#include "commandrun.h"
#include "datekeeper.h"
#include "datetext.h"
#include "guard.h"
#include "keepermessages.h"
#include "refusalmessage.h"
#include "settingskey.h"

namespace {

// Why the date could not be set, and the exit code that says so.
// `date` names the way that needs no right.
int refuse(const AppError& error, const QDate& date)
{
    const QString reason = QString::fromStdString(error.description);
    switch (error.number) {
    case kErrPermissionDenied:
        say(refusalMessage(error, RefusalPlace::CommandLine, kHostSystem, sourceTreeReadme(),
                               date.toString(Qt::ISODate)));
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
    case kErrProgramRunning:
    case kErrClockHeld:
        // As when the lock is held: that run ends, this one may follow.
        say(notChangedMessage(error));
        return kExitTempFail;
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

int runAt(const QString& dateText, const std::vector<std::string>& arguments, const std::string& exeBaseName,
          bool askPassword)
{
    // Everything that can fail without the date is checked before it changes.
    const std::unique_ptr<SystemClock> clock = makeSystemClock();
    std::int64_t firstSecond = 0;
    std::int64_t lastSecond = 0;
    settableSeconds(&firstSecond, &lastSecond);
    const auto dateAt = [&clock](std::int64_t second, const QDate& otherwise) {
        const CivilDate date = clock->localDate(second);
        return date.isNull() ? otherwise : DateText::toQDate(date);
    };
    const DateSpan span{std::max(DateText::minimum(), dateAt(firstSecond, DateText::minimum())),
                        std::min(DateText::maximum(), dateAt(lastSecond, DateText::maximum())),
                        QStringLiteral("The system cannot be set to that date.")};
    PreparedCommand command;
    if (const int status = prepareCommand(dateText, arguments, span, Reader::CommandLine, &command))
        return status;
    const DateText dates(QLocale::system());
    const QDate wanted = command.date;
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
    // Only the guard sets the clock. polkit finds a process's agent by the
    // process that asks: the guard.
    std::unique_ptr<DateChanger> changer = makeGuardedChanger(*clock, exeBaseName);
    if (askPassword)
        changer = std::make_unique<AgentOnDemand>(std::move(changer),
                                                  [&agent](std::int64_t guard) {
                                                      agent.stop();
                                                      agent.start(guard);
                                                  });
    DateKeeper keeper(*clock, std::move(changer), settingsKeyPath(exeBaseName));
    keeper.onSyncNotResumed = [](const AppError& error) { say(syncNotResumedMessage(error)); };
    // A program that ended with the date altered is put right first.
    // One still running is named once, by the refusal below.
    if (const Recovery recovery = keeper.recover(); !recovery.nothingToTell() && !recovery.running)
        say(recoveryMessage(recovery, dates));
    if (const AppError error = keeper.setDate(DateText::toCivil(wanted)); error && error.number != kErrUnconfirmed)
        return refuse(error, wanted);
    else if (error)
        say(unconfirmedMessage(dates.format(wanted)));

    // A guard that ends while the command runs is replaced at once.
    const auto guardEnded = [&keeper] {
        if (const AppError error = keeper.guardEnded())
            say(guardLostMessage(error, RefusalPlace::CommandLine));
        return keeper.guardEndFd();
    };
    ChildSetup setup;
    setup.watches.push_back({keeper.guardEndFd(), guardEnded});
    const int status = runCommand(child, command, std::move(setup));

    const DateKeeper::Restored restored = keeper.restore();
    if (restored.clock) {
        const QString real = dates.format(DateText::toQDate(keeper.realDate()));
        say(restored.clock.number == kErrUnconfirmed
                ? unconfirmedRestoreMessage(restored.clock, real, RefusalPlace::CommandLine)
                : QStringLiteral("The real date could not be put back: set the clock to %1 yourself (%2).")
                      .arg(real, QString::fromStdString(restored.clock.description)));
        return kExitSoftware;
    }
    return status;
}
