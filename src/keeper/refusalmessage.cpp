#include "refusalmessage.h"

namespace {

QString firstLine(const AppError& error, RefusalPlace place)
{
    if (place == RefusalPlace::CommandLine && error.cause == kRefusalAuthDenied)
        return QStringLiteral("The system's authorisation to set the clock was denied.");
    return QStringLiteral("You do not have the proper privilege level to alter the System Time.");
}

QString advice(const AppError& error, RefusalPlace place, HostSystem system, const QString& readme,
               const QString& date)
{
    if (system == HostSystem::Windows)
        return QStringLiteral("Start Ravodor as an administrator (right-click it and choose \"Run as administrator\"), "
                              "then set the date again.");
    // Asking again is no way out for whoever has no password to give.
    QString text;
    if (error.cause == kRefusalAuthDenied)
        text = QStringLiteral("Changing the date needs an administrator's password. Without one, ask an "
                              "administrator to give Ravodor the right to set the clock.");
    else if (error.cause == kRefusalNotInGroup)
        text = QStringLiteral("On this computer only members of the group ravodor may change the date. Ask an "
                              "administrator to make you a member, then log in again.");
    else
        text = QStringLiteral("Ravodor has not been given the right to set the clock, and the system's "
                              "time service is not there to ask. An administrator can give it that right.");
    text += QStringLiteral(" See \"man ravodor\", section \"THE RIGHT TO SET THE CLOCK\"");
    if (!readme.isEmpty())
        text += QStringLiteral(", or the section \"Giving the program the right to set the clock\" of %1").arg(readme);
    // Whoever gets no right may still have the date for one program.
    const QString way = place == RefusalPlace::Window ? QStringLiteral("Preset \u25b8 Run a program at this date\u2026")
                                                      : QStringLiteral("ravodor --at %1 --only -- COMMAND.").arg(date);
    return text + QStringLiteral(". To show one program this date without any right, use ") + way;
}

}  // namespace

QString refusalMessage(const AppError& error, RefusalPlace place, HostSystem system, const QString& readme,
                       const QString& date)
{
    const QString paragraph = place == RefusalPlace::Window ? QStringLiteral("\r\n\r\n") : QStringLiteral("\n\n");
    return firstLine(error, place) + paragraph + advice(error, place, system, readme, date);
}
