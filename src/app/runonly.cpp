#include "runonly.h"

#include <QDate>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "childcommand.h"
#include "clock.h"
#include "commandline.h"
#include "datetext.h"
#include "preloadreach.h"

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "ravodor: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString obstacleText(PreloadReach::Obstacle obstacle)
{
    switch (obstacle) {
    case PreloadReach::StaticallyLinked:
        return QStringLiteral("is statically linked");
    case PreloadReach::SetId:
        return QStringLiteral("is setuid or setgid");
    case PreloadReach::FileCapabilities:
        return QStringLiteral("gains capabilities when started");
    case PreloadReach::None:
        break;
    }
    return {};
}

// Every process adds the same offset to the real time: they all see one
// clock that runs on, whenever each starts. libfaketime's "start at" form
// would start it afresh in each.
QByteArray faketimeOffset(std::int64_t seconds)
{
    return (seconds >= 0 ? QByteArray("+") : QByteArray()) + QByteArray::number(qint64(seconds));
}

}  // namespace

int runOnly(const QString& dateText, const QStringList& command)
{
    if (!ChildCommand::supported()) {
        say(QStringLiteral("--at is not supported on this system yet."));
        return kExitUnavailable;
    }
    if (!ChildCommand::runsAsCaller()) {
        say(QStringLiteral("--at runs no command as another user, and ravodor is installed setuid or setgid."));
        return kExitNoPerm;
    }
    const QDate wanted = DateText(QLocale::system()).parse(dateText);
    if (!wanted.isValid() || !DateText::inRange(wanted)) {
        say(QStringLiteral("'%1' is not a date.").arg(dateText));
        return kExitNotADate;
    }
    const QString library = QStringLiteral(RAVODOR_FAKETIME_LIBRARY);
    if (!QFile::exists(library)) {
        say(QStringLiteral("--only needs the package libfaketime: %1 is missing.").arg(library));
        return kExitUnavailable;
    }

    std::vector<std::string> argv;
    for (const QString& arg : command)
        argv.push_back(arg.toLocal8Bit().toStdString());
    std::string path;
    if (const int status = ChildCommand::find(argv.front(), &path)) {
        say(QStringLiteral("%1: %2").arg(command.first(), status == kExitNotFound
                                                              ? QStringLiteral("command not found")
                                                              : QStringLiteral("cannot be run")));
        return status;
    }
    if (const PreloadReach reach = preloadReach(path); reach.obstacle != PreloadReach::None) {
        const QString program = QFile::decodeName(reach.program.c_str());
        say(QStringLiteral("%1 %2, so --only cannot show it the date: use --at without --only.")
                .arg(reach.program == path ? program
                                           : QStringLiteral("%1, the interpreter of %2,").arg(program, command.first()),
                     obstacleText(reach.obstacle)));
        return kExitOutOfReach;
    }

    // The same instant as Set picks: this local time of day on DATE.
    const std::unique_ptr<SystemClock> clock = makeSystemClock();
    const std::int64_t now = clock->nowNs();
    std::int64_t instant = 0;
    if (const AppError error = clock->instantOn(DateText::toCivil(wanted), now, &instant)) {
        say(error.number == kErrInvalidCall
                ? QStringLiteral("The system has no such time of day on '%1'.").arg(dateText)
                : QStringLiteral("The date could not be worked out: %1").arg(QString::fromStdString(error.description)));
        return error.number == kErrInvalidCall ? kExitNotADate : kExitOsError;
    }
    // Both carry the fraction of a second of `now`: whole seconds apart.
    qputenv("FAKETIME", faketimeOffset((instant - now) / kNsPerSecond));
    // As after a set of the system clock, the clocks that measure time passing run as they did.
    qputenv("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    QByteArray preload = QFile::encodeName(library);
    if (const QByteArray callers = qgetenv("LD_PRELOAD"); !callers.isEmpty())
        preload += ':' + callers;
    qputenv("LD_PRELOAD", preload);

    ChildCommand child;
    int status = child.run(path, argv);
    if (status < 0) {
        // After EINTR the held signal ends this process when `child` goes.
        const int error = errno;
        say(error == EINTR ? QStringLiteral("Interrupted before %1 started.").arg(command.first())
                           : QStringLiteral("%1: %2").arg(command.first(),
                                                          QString::fromLocal8Bit(std::strerror(error))));
        status = error == ENOENT ? kExitNotFound : kExitCannotRun;
    }
    return status;
}
