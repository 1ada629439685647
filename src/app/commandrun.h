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
    int secondOfDay = -1;  // the time of day DATE gives; else -1: the time of day runs on
    std::vector<std::string> argv;
    std::string path;
    QString name;  // as the caller typed it
};

// The dates a way of showing one can show, and the words for one beyond.
struct DateSpan {
    QDate first;
    QDate last;
    QString beyond;  // the first sentence of the refusal
};

// 0 with `prepared` filled; else the exit code, after saying why, or with
// the words in `why` when one is given. DATE may carry a time of day
// (YYYY-MM-DDTHH:MM[:SS]); only --only takes one.
int prepareCommand(const QString& dateText, const QStringList& command, const DateSpan& span,
                   PreparedCommand* prepared, QString* why = nullptr);

// When stderr is a terminal, says which date a DATE not written as
// YYYY-MM-DD was read as.
void echoReadDate(const QString& dateText);

// Its exit status, or the exit code of a start that failed (said).
int runCommand(ChildCommand& child, const PreparedCommand& command, ChildWatch watch = {});
