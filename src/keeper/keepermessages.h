#pragma once
// What the user is told about time sync, the restore record and a recovery
// at start-up: the same words in the windows and on the command line.

#include <QString>

#include "apperror.h"
#include "datetext.h"
#include "recovery.h"
#include "refusalmessage.h"

// The date was not changed because of time sync or the restore record;
// empty for any other error.
QString notChangedMessage(const AppError& error);
QString syncNotResumedMessage(const AppError& error);
// The system never confirmed the change to `date`: it counts as made.
QString unconfirmedMessage(const QString& date);
// The system never confirmed that the real date, `realDate`, is back. Only
// the window has Reset and a closing to try again with.
QString unconfirmedRestoreMessage(const AppError& error, const QString& realDate,
                                  RefusalPlace place = RefusalPlace::Window);
// The guard ended and no new one could take over.
QString guardLostMessage(const AppError& error, RefusalPlace place = RefusalPlace::Window);
// What a start found and did about a program that ended with the date altered.
QString recoveryMessage(const Recovery& recovery, const DateText& dates);
