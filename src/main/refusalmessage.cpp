#include "refusalmessage.h"

QString refusalMessage(const AppError& error, HostSystem system)
{
    QString advice;
    if (system == HostSystem::Windows)
        advice = QStringLiteral("Start Ravodor as an administrator (right-click it and choose \"Run as administrator\"), "
                                "then set the date again.");
    else if (error.cause == kRefusalAuthDenied)
        advice = QStringLiteral("Changing the date needs an administrator's password. "
                                "Press Set again and enter it when the system asks for it.");
    else
        advice = QStringLiteral("Ravodor has not been given the right to set the clock, and the system's time "
                                "service is not there to ask. The README's section \"Giving the program the right "
                                "to set the clock\" tells how to give it.");
    return QStringLiteral("You do not have the proper privilege level to alter the System Time.\r\n\r\n") + advice;
}
