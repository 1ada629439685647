#include "commandrun.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include "exitcodes.h"
#include "datetext.h"

namespace {

// YYYY-MM-DD, perhaps with a time of day: THH:MM or THH:MM:SS.
const QRegularExpression& isoForm()
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    return form;
}

// The forms a date is taken in, by example.
QString dateForms(bool timeOfDay)
{
    const QString forms =
        QStringLiteral("YYYY-MM-DD, or as %1").arg(DateText(QLocale::system()).format(QDate(2030, 12, 31)));
    return timeOfDay ? forms + QStringLiteral(", with a time of day as YYYY-MM-DDTHH:MM[:SS]") : forms;
}

}  // namespace

void say(const QString& text)
{
    std::fprintf(stderr, "ravodor: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString commandName(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

bool stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}

int prepareCommand(const QString& dateText, const std::vector<std::string>& command, const DateSpan& span,
                   Reader reader, PreparedCommand* prepared, QString* why)
{
    const bool window = reader == Reader::Window;
    const auto say = [why](const QString& text) {
        if (why)
            *why = text;
        else
            ::say(text);
    };
    if (!ChildCommand::supported()) {
        say(window ? QStringLiteral("Running a program at a date is not supported on this system yet.")
                   : QStringLiteral("--at is not supported on this system yet."));
        return kExitUnavailable;
    }
    if (!ChildCommand::runsAsCaller()) {
        // A setuid program would hand its user to any command.
        say(window ? QStringLiteral("Ravodor runs no program as another user: it must not be setuid or setgid.")
                   : QStringLiteral("--at runs no command as another user: ravodor must not be setuid or setgid; "
                                    "the right to set the clock goes to its guard (see ravodor(1))."));
        return kExitNoPerm;
    }
    // The ISO form is read here, so that a day it names that the calendar
    // lacks is told apart from text that is no date at all.
    if (const QRegularExpressionMatch iso = isoForm().match(dateText); iso.hasMatch()) {
        const QString day = dateText.left(10);
        const QString year = iso.captured(1);
        const int month = iso.captured(2).toInt();
        prepared->date = QDate(year.toInt(), month, iso.captured(3).toInt());
        if (!prepared->date.isValid()) {
            say(month >= 1 && month <= 12
                    ? QStringLiteral("%1 is no day of %2 %3").arg(day, QLocale::c().monthName(month), year)
                    : QStringLiteral("%1 is no day of %2").arg(day, year));
            return kExitNotADate;
        }
        if (iso.capturedLength(4)) {
            const int hour = iso.captured(4).toInt();
            const int minute = iso.captured(5).toInt();
            const int second = iso.captured(6).toInt();
            if (hour > 23 || minute > 59 || second > 59) {
                say(QStringLiteral("%1 is no time of day; write it as HH:MM or HH:MM:SS, from 00:00 to 23:59:59.")
                        .arg(dateText.mid(11)));
                return kExitNotADate;
            }
            prepared->secondOfDay = hour * 3600 + minute * 60 + second;
        }
    } else {
        prepared->date = DateText(QLocale::system()).parse(dateText);
        if (!prepared->date.isValid()) {
            say(dateText.trimmed().isEmpty()
                    ? QStringLiteral("The date is empty; write it as %1.").arg(dateForms(span.timeOfDay))
                    : QStringLiteral("'%1' is not a date; write it as %2.").arg(dateText, dateForms(span.timeOfDay)));
            return kExitNotADate;
        }
    }
    if (prepared->date < span.first || prepared->date > span.last) {
        const DateText dates(window ? QLocale::system() : QLocale::c());
        const auto shown = [&](const QDate& date) { return window ? dates.format(date) : date.toString(Qt::ISODate); };
        say(QStringLiteral("%1 It takes dates from %2 to %3.").arg(span.beyond, shown(span.first), shown(span.last)));
        return kExitNotADate;
    }
    if (command.empty() || command.front().empty()) {
        say(QStringLiteral("The command is empty: name a program to run."));
        return kExitNotFound;
    }
    prepared->argv = command;
    prepared->name = commandName(command.front());
    if (const int status = ChildCommand::find(prepared->argv.front(), &prepared->path)) {
        say(QStringLiteral("%1: %2").arg(prepared->name, status == kExitNotFound ? QStringLiteral("command not found")
                                                                                 : QStringLiteral("cannot be run")));
        return status;
    }
    return 0;
}

int runCommand(ChildCommand& child, const PreparedCommand& command, ChildSetup setup, QString* failure)
{
    const int status = child.run(command.path, command.argv, std::move(setup));
    if (status >= 0)
        return status;
    // After EINTR the held signal ends this process when `child` goes.
    const int error = errno;
    const QString reason = error == EINTR
                               ? QStringLiteral("interrupted before it started")
                               : QString::fromLocal8Bit(ChildCommand::startFailure(command.path, error).c_str());
    say(QStringLiteral("%1: %2").arg(command.name, reason));
    if (failure)
        *failure = reason;
    // As the shell: found, but the system would not start it.
    return error == ENOENT && !QFile::exists(QFile::decodeName(command.path.c_str())) ? kExitNotFound
                                                                                      : kExitCannotRun;
}

void echoReadDate(const QString& dateText)
{
    if (!stderrIsTerminal() || isoForm().match(dateText).hasMatch())
        return;
    // The locale's rules may read it otherwise than meant (a two-digit year).
    if (const QDate date = DateText(QLocale::system()).parse(dateText); date.isValid())
        say(QStringLiteral("%1 read as %2").arg(dateText, date.toString(Qt::ISODate)));
}
