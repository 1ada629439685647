#include "launcher.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

#include "datetext.h"

namespace {

// The characters that make an argument need quotes in an Exec line.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// How long the arguments in a Name may grow before they are cut.
constexpr qsizetype kNamedArguments = 24;

// The control characters a string value has escapes for.
bool escapable(QChar c)
{
    return c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

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

// The command as an entry's text, or why it cannot be: an entry is UTF-8
// and has escapes for three control characters only.
bool entryText(const std::vector<std::string>& command, QStringList* words, QString* why)
{
    for (std::size_t i = 0; i < command.size(); ++i) {
        const std::string& bytes = command[i];
        const QString what = i == 0 ? QStringLiteral("The program's name") : QStringLiteral("Argument %1").arg(i);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString word = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        if (utf8.hasError()) {
            *why = QStringLiteral("%1 is not UTF-8 text, which a launcher cannot hold.").arg(what);
            return false;
        }
        const auto unwritable = [](QChar c) { return c.category() == QChar::Other_Control && !escapable(c); };
        if (std::any_of(word.begin(), word.end(), unwritable)) {
            *why = QStringLiteral("%1 holds a control character, which a launcher cannot hold.").arg(what);
            return false;
        }
        *words << word;
    }
    return true;
}

// The program as a launcher names it: a path made whole, since a launcher
// starts in a folder of the desktop's choosing.
QString programOf(const QString& typed)
{
    return typed.contains(QLatin1Char('/')) ? QFileInfo(typed).absoluteFilePath() : typed;
}

}  // namespace

QString launcherName(const Launcher& launcher, const ProgramEntry& entry)
{
    const QString program = QString::fromLocal8Bit(launcher.command.front().c_str());
    QString name = entry.name.isEmpty() ? QFileInfo(program).fileName() : entry.name;
    QStringList arguments;
    for (std::size_t i = 1; i < launcher.command.size(); ++i)
        arguments << QString::fromLocal8Bit(launcher.command[i].c_str());
    QString shown = arguments.join(QLatin1Char(' ')).simplified();
    if (shown.size() > kNamedArguments)
        shown = shown.left(kNamedArguments - 1) + QChar(0x2026);
    if (!shown.isEmpty())
        name += QLatin1Char(' ') + shown;
    // The date as the user writes it, and the time of day as given.
    const QDate date = QDate::fromString(launcher.date.left(10), Qt::ISODate);
    const QString day = date.isValid() ? DateText(launcher.locale).format(date) : launcher.date;
    const QString time = launcher.date.mid(11);
    return QStringLiteral("%1 at %2").arg(name, time.isEmpty() ? day : day + QLatin1Char(' ') + time);
}

QString launcherEntry(const Launcher& launcher, const QString& name, const ProgramEntry& entry, QString* why)
{
    QStringList command;
    if (!entryText(launcher.command, &command, why))
        return {};
    // An Exec line's program may hold no '='.
    if (launcher.ravodor.contains(QLatin1Char('='))) {
        *why = QStringLiteral("A launcher cannot start %1: its path holds an '='.").arg(launcher.ravodor);
        return {};
    }
    command.first() = programOf(command.first());
    const QString program = QFileInfo(command.first()).fileName();
    const QStringList exec = QStringList{launcher.ravodor, QStringLiteral("--at"), launcher.date,
                                         QStringLiteral("--only"), QStringLiteral("--")}
                             + command;
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Exec=%3\n"
                          "Icon=%4\n"
                          "Categories=%5\n"
                          "Terminal=false\n")
        .arg(escaped(name),
             escaped(QStringLiteral("Runs %1 with the date %2 shown to it alone; the clock stays as it is.")
                         .arg(program, launcher.date)),
             desktopExec(exec), escaped(entry.icon), escaped(entry.categories));
}
