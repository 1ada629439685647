#pragma once
// Arguments typed as a shell reads them: blanks part words; single quotes
// keep everything, double quotes all but \ before \ " $ ` and a line break,
// a backslash outside quotes the next character. Nothing is expanded.

#include <QString>
#include <QStringList>

// False with `why` in words when a quote is not closed.
bool splitShellWords(const QString& text, QStringList* words, QString* why);
