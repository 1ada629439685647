#include "shellwords.h"

// By hand: QProcess::splitCommand knows double quotes alone.
bool splitShellWords(const QString& text, QStringList* words, QString* why)
{
    words->clear();
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quote == QLatin1Char('\'')) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (quote == QLatin1Char('"')) {
            if (c == quote)
                quote = QChar();
            else if (c == QLatin1Char('\\') && i + 1 < text.size() && QStringLiteral("\\\"$`\n").contains(text[i + 1]))
                word += text[++i];
            else
                word += c;
        } else if (c.isSpace()) {
            if (inWord)
                *words << word;
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                quote = c;
            else if (c == QLatin1Char('\\') && i + 1 < text.size())
                word += text[++i];
            else
                word += c;
        }
    }
    if (!quote.isNull()) {
        *why = quote == QLatin1Char('\'') ? QStringLiteral("A single quote in the arguments is not closed.")
                                          : QStringLiteral("A double quote in the arguments is not closed.");
        return false;
    }
    if (inWord)
        *words << word;
    return true;
}
