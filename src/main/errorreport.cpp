#include "errorreport.h"

#include <QStringList>

QString errorReport(const AppError& error, const QString& place)
{
    // A non-negative number takes a blank where a negative one has its sign.
    const QString number = (error.number >= 0 ? QStringLiteral(" ") : QString()) + QString::number(error.number);
    return QStringList{
        QStringLiteral("An Error was generated:"),
        QString(),
        QStringLiteral("Description:"),
        QStringLiteral("Error") + number + QStringLiteral(" - ") + QString::fromLocal8Bit(error.description.c_str()),
        place,
        QString(),
        QStringLiteral("Please inform the author with the error description above."),
    }.join(QStringLiteral("\r\n"));
}
