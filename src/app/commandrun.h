#pragma once
// What --at and --at --only share: the checks made before anything changes,
// and running the command. Every message of the command line goes to stderr
// through say().

#include <QDate>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "childcommand.h"

void say(const QString& text);

struct PreparedCommand {
    QDate date;
    std::vector<std::string> argv;
    std::string path;
    QString name;  // as the caller typed it
};

// 0 with `prepared` filled; else the exit code, after saying why, or with
// the words in `why` when one is given.
int prepareCommand(const QString& dateText, const QStringList& command, PreparedCommand* prepared,
                   QString* why = nullptr);

// Its exit status, or the exit code of a start that failed (said).
int runCommand(ChildCommand& child, const PreparedCommand& command, ChildWatch watch = {});
