#include "keepermessages.h"

namespace {

QString reasonOf(const AppError& error)
{
    return QString::fromLocal8Bit(error.description.c_str());
}

// Why sync did not come back on, in the words a pause that failed uses; a
// refusal's own description is only "Permission denied".
QString syncReasonOf(const AppError& error)
{
    if (error.number == kErrPermissionDenied)
        return error.cause == kRefusalAuthDenied ? QStringLiteral("not authorised")
                                                 : QStringLiteral("no right to switch it");
    return reasonOf(error);
}

}  // namespace

QString notChangedMessage(const AppError& error)
{
    if (error.number == kErrSyncNotPaused)
        return QStringLiteral("Automatic time synchronisation is on and could not be paused (%1). "
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
        .arg(syncReasonOf(error));
}

QString recoveryMessage(const Recovery& recovery, const DateText& dates)
{
    const QString wasSet = dates.format(DateText::toQDate(recovery.wasSet));
    QString text = QStringLiteral("Ravodor ended while the system date was set to %1.").arg(wasSet);
    if (recovery.sameBoot && !recovery.clock)
        text += QStringLiteral(" The real date, %1, has been put back.")
                    .arg(dates.format(DateText::toQDate(recovery.realDate)));
    else if (recovery.sameBoot)
        text += QStringLiteral(" The real date could not be put back (Error %1 - %2). Please check the system clock.")
                    .arg(recovery.clock.number)
                    .arg(reasonOf(recovery.clock));
    else
        text += QStringLiteral(" The computer has been restarted since, so the real date could not be worked out. "
                               "Please check the system clock.");
    if (recovery.sync)
        text += QStringLiteral("\r\n\r\n") + syncNotResumedMessage(recovery.sync);
    return text;
}
