#include "launcher.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// The characters that make an argument need quotes in an Exec line.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

// A string value may hold no line break; the backslash escapes it.
QString escaped(const QString& value)
{
    QString text;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': text += QLatin1String("\\\\"); break;
        case '\n': text += QLatin1String("\\n"); break;
        case '\t': text += QLatin1String("\\t"); break;
        case '\r': text += QLatin1String("\\r"); break;
        default: text += c;
        }
    }
    return text;
}

// Quoting comes first and the value's own escapes on top of it: a backslash
// in a quoted argument is written four times.
QString quoted(const QString& argument)
{
    QString text = argument;
    text.replace(QLatin1Char('%'), QLatin1String("%%"));
    const bool plain = !text.isEmpty() && std::none_of(text.begin(), text.end(), [](QChar c) {
        return kReserved.contains(c);
    });
    if (plain)
        return text;
    QString inQuotes;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            inQuotes += QLatin1Char('\\');
        inQuotes += c;
    }
    return QLatin1Char('"') + inQuotes + QLatin1Char('"');
}

// The Exec value that hands exactly `arguments` to the program they name.
QString desktopExec(const QStringList& arguments)
{
    QStringList words;
    for (const QString& argument : arguments)
        words << quoted(argument);
    return escaped(words.join(QLatin1Char(' ')));
}

}  // namespace

QString launcherEntry(const Launcher& launcher)
{
    // A launcher starts in a folder of the desktop's choosing: a program
    // named by a path is named by its whole path.
    QStringList command = launcher.command;
    if (command.first().contains(QLatin1Char('/')))
        command.first() = QFileInfo(command.first()).absoluteFilePath();
    const QString program = command.first();
    const QString name = QFileInfo(program).fileName();
    const QStringList exec = QStringList{launcher.ravodor, QStringLiteral("--at"), launcher.date,
                                         QStringLiteral("--only"), QStringLiteral("--")}
                             + command;
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Exec=%3\n"
                          "Icon=%4\n"
                          "Terminal=false\n")
        .arg(escaped(QStringLiteral("%1 at %2").arg(name, launcher.date)),
             escaped(QStringLiteral("Runs %1 with the date %2 shown to it alone; the clock stays as it is.")
                         .arg(name, launcher.date)),
             desktopExec(exec), escaped(iconFor(program)));
}
