#include "commandrun.h"

#include <QLocale>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include "commandline.h"
#include "datetext.h"

namespace {

// YYYY-MM-DD, perhaps with a time of day: THH:MM or THH:MM:SS.
const QRegularExpression& isoForm()
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    return form;
}

}  // namespace

void say(const QString& text)
{
    std::fprintf(stderr, "ravodor: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int prepareCommand(const QString& dateText, const QStringList& command, const DateSpan& span,
                   PreparedCommand* prepared, QString* why)
{
    const auto say = [why](const QString& text) {
        if (why)
            *why = text;
        else
            ::say(text);
    };
    if (!ChildCommand::supported()) {
        say(QStringLiteral("--at is not supported on this system yet."));
        return kExitUnavailable;
    }
    if (!ChildCommand::runsAsCaller()) {
        // A setuid program would hand its user to any command.
        say(QStringLiteral("--at runs no command as another user: ravodor must not be setuid or setgid; "
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
            say(QStringLiteral("'%1' is not a date; write it as YYYY-MM-DD.").arg(dateText));
            return kExitNotADate;
        }
    }
    if (prepared->date < span.first || prepared->date > span.last) {
        say(QStringLiteral("%1 It takes dates from %2 to %3.")
                .arg(span.beyond, span.first.toString(Qt::ISODate), span.last.toString(Qt::ISODate)));
        return kExitNotADate;
    }
    for (const QString& arg : command)
        prepared->argv.push_back(arg.toLocal8Bit().toStdString());
    prepared->name = command.first();
    if (const int status = ChildCommand::find(prepared->argv.front(), &prepared->path)) {
        say(QStringLiteral("%1: %2").arg(prepared->name, status == kExitNotFound ? QStringLiteral("command not found")
                                                                                 : QStringLiteral("cannot be run")));
        return status;
    }
    return 0;
}

int runCommand(ChildCommand& child, const PreparedCommand& command, ChildWatch watch)
{
    const int status = child.run(command.path, command.argv, std::move(watch));
    if (status >= 0)
        return status;
    // After EINTR the held signal ends this process when `child` goes.
    const int error = errno;
    say(error == EINTR ? QStringLiteral("Interrupted before %1 started.").arg(command.name)
                       : QStringLiteral("%1: %2").arg(command.name, QString::fromLocal8Bit(std::strerror(error))));
    return error == ENOENT ? kExitNotFound : kExitCannotRun;
}

void echoReadDate(const QString& dateText)
{
#ifdef Q_OS_WIN
    const bool terminal = _isatty(_fileno(stderr));
#else
    const bool terminal = ::isatty(STDERR_FILENO);
#endif
    if (!terminal || isoForm().match(dateText).hasMatch())
        return;
    // The locale's rules may read it otherwise than meant (a two-digit year).
    if (const QDate date = DateText(QLocale::system()).parse(dateText); date.isValid())
        say(QStringLiteral("%1 read as %2").arg(dateText, date.toString(Qt::ISODate)));
}
