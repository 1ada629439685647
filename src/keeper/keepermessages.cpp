#include "keepermessages.h"

#include "datekeeper.h"
#include "programlock.h"

namespace {

QString reasonOf(const AppError& error)
{
    return QString::fromLocal8Bit(error.description.c_str());
}

}  // namespace

QString notChangedMessage(const AppError& error)
{
    if (error.number == kErrClockHeld)
        return reasonOf(error);  // the words that name the holder, whole
    if (error.number == kErrProgramRunning)
        return runningRefusal(QString::fromStdString(error.description).toLongLong());
    if (error.number == kErrSyncNotPaused)
        return QStringLiteral("Automatic time synchronisation is on and could not be paused (%1). "
                              "The date was not changed.")
            .arg(reasonOf(error));
    if (error.number == kErrRecordPending)
        return QStringLiteral("Ravodor found a date left altered by an earlier run and could not act on it yet (%1). "
                              "The date was not changed.")
            .arg(reasonOf(error));
    if (error.number == kErrNoRecord)
        return QStringLiteral("Ravodor could not write down how to put the real date back (%1). "
                              "The date was not changed.")
            .arg(reasonOf(error));
    return {};
}

QString syncNotResumedMessage(const AppError& error)
{
    return QStringLiteral("Automatic time synchronisation could not be switched back on (%1). "
                          "Switch it on in the date settings, or run: timedatectl set-ntp true")
        .arg(QString::fromLocal8Bit(syncFailureReason(error).c_str()));
}

QString unconfirmedMessage(const QString& date)
{
    return QStringLiteral("The system has not confirmed the change to %1, and may still make it. "
                          "Ravodor counts the date as changed and puts the real date back as usual.")
        .arg(date);
}

QString unconfirmedRestoreMessage(const AppError& error, const QString& realDate, RefusalPlace place)
{
    const QString when = place == RefusalPlace::Window ? QStringLiteral("with Reset, on closing and at its next start")
                                                       : QStringLiteral("at its next start");
    return QStringLiteral("The system has not confirmed that the real date, %1, is back (%2). Ravodor keeps "
                          "what it needs to put it back and tries again %3.")
        .arg(realDate, reasonOf(error), when);
}

QString guardLostMessage(const AppError& error, RefusalPlace place)
{
    const QString what = place == RefusalPlace::Window
                             ? QStringLiteral("Press Reset before you close Ravodor.")
                             : QStringLiteral("Ravodor puts the real date back when the command has ended; "
                                              "do not stop it before.");
    return QStringLiteral("The process that puts the real date back should Ravodor be stopped has ended, "
                          "and no new one could be started (%1). ")
               .arg(reasonOf(error))
           + what;
}

QString recoveryMessage(const Recovery& recovery, const DateText& dates)
{
    const QString wasSet = dates.format(DateText::toQDate(recovery.wasSet));
    if (!recovery.otherMachine.empty())
        return QStringLiteral("The system date of another computer (id %1), which shares these settings, "
                              "may be set to %2: Ravodor there puts it back. Until then Ravodor here changes "
                              "nothing, as it would lose that computer's way back.")
            .arg(QString::fromStdString(recovery.otherMachine), wasSet);
    if (recovery.running)
        return runningRefusal(recovery.running);
    if (recovery.guardBusy)
        return QStringLiteral("Ravodor ended while the system date was set to %1, and is still putting the real "
                              "date back. Try again in a moment.")
            .arg(wasSet);
    QString text = QStringLiteral("Ravodor ended while the system date was set to %1.").arg(wasSet);
    if (recovery.sameBoot && !recovery.clock)
        text += QStringLiteral(" The real date, %1, has been put back.")
                    .arg(dates.format(DateText::toQDate(recovery.realDate)));
    else if (recovery.sameBoot)
        text += QStringLiteral(" The real date could not be put back (Error %1 - %2). Please check the system clock. "
                                   "Ravodor tries again before it changes the date.")
                    .arg(recovery.clock.number)
                    .arg(reasonOf(recovery.clock));
    else
        text += QStringLiteral(" The computer has been restarted since, so the real date could not be worked out. "
                               "Please check the system clock.");
    if (recovery.sync)
        text += QStringLiteral("\r\n\r\n") + syncNotResumedMessage(recovery.sync);
    return text;
}
