#pragma once
// What --at and --at --only share: the checks made before anything changes,
// and running the command. Every message of the command line goes to stderr
// through say(). The command travels as the system's bytes, never decoded.

#include <QDate>
#include <QString>

#include <string>
#include <vector>

#include "childcommand.h"

void say(const QString& text);

// Who reads the words: the command line names its options, the window its own controls.
enum class Reader { CommandLine, Window };

struct PreparedCommand {
    QDate date;
    int secondOfDay = -1;  // the time of day DATE gives; else -1: the time of day runs on
    std::vector<std::string> argv;
    std::string path;
    QString name;  // as the caller typed it, for messages
};

// The dates a way of showing one can show, and the words for one beyond.
struct DateSpan {
    QDate first;
    QDate last;
    QString beyond;          // the first sentence of the refusal
    bool timeOfDay = false;  // DATE may carry a time of day
};

// 0 with `prepared` filled; else the exit code, after saying why, or with
// the words in `why` when one is given. DATE may carry a time of day
// (YYYY-MM-DDTHH:MM[:SS]) where `span` takes one.
int prepareCommand(const QString& dateText, const std::vector<std::string>& command, const DateSpan& span,
                   Reader reader, PreparedCommand* prepared, QString* why = nullptr);

// When stderr is a terminal, says which date a DATE not written as
// YYYY-MM-DD was read as.
void echoReadDate(const QString& dateText);
bool stderrIsTerminal();

// A command's bytes as words, for messages only.
QString commandName(const std::string& bytes);

// Its exit status, or the exit code of a start that failed, said, with the
// reason in `failure` too when one is given.
int runCommand(ChildCommand& child, const PreparedCommand& command, ChildSetup setup = {},
               QString* failure = nullptr);
