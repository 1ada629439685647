#include "commandrun.h"

#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "commandline.h"
#include "datetext.h"

void say(const QString& text)
{
    std::fprintf(stderr, "ravodor: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int prepareCommand(const QString& dateText, const QStringList& command, PreparedCommand* prepared, QString* why)
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
    prepared->date = DateText(QLocale::system()).parse(dateText);
    if (!prepared->date.isValid() || !DateText::inRange(prepared->date)) {
        say(QStringLiteral("'%1' is not a date; write it as YYYY-MM-DD.").arg(dateText));
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
