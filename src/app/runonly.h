#pragma once
// ravodor --at DATE --only -- COMMAND [ARG...]: DATE for one command and the
// programs it starts, through libfaketime preloaded into them. The system
// clock, time sync, the guard, the restore record and the lock are left
// alone, so no right is needed. Every message goes to stderr.

#include <QString>
#include <QStringList>

// The exit code: COMMAND's status, or one of ExitCode (commandline.h).
int runOnly(const QString& dateText, const QStringList& command);
