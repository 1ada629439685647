#include "runonly.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "childcommand.h"
#include "clock.h"
#include "commandline.h"
#include "commandrun.h"
#include "datetext.h"
#include "preloadreach.h"

namespace {

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

// libfaketime (0.9.10) makes shared memory named after the command's process,
// for the programs it starts to share, and removes it only at a normal exit:
// a command that ends by exec or by a signal leaves it. What is mapped stays.
void removeFaketimeLeftovers(long pid)
{
#ifdef Q_OS_UNIX
    for (const char* name : {"/dev/shm/faketime_shm_%1", "/dev/shm/sem.faketime_sem_%1"}) {
        const QString path = QString::fromLatin1(name).arg(pid);
        const QFileInfo file(path);
        if (file.isFile() && !file.isSymLink() && file.ownerId() == ::geteuid())
            QFile::remove(path);
    }
#else
    Q_UNUSED(pid);
#endif
}

}  // namespace

int prepareOnly(const QString& dateText, const QStringList& arguments, OnlyLaunch* launch, QString* why)
{
    PreparedCommand command;
    // libfaketime takes any date the program does.
    const DateSpan span{DateText::minimum(), DateText::maximum(), QStringLiteral("--only cannot show that date.")};
    if (const int status = prepareCommand(dateText, arguments, span, &command, why))
        return status;
    const QString library = QStringLiteral(RAVODOR_FAKETIME_LIBRARY);
    if (!QFile::exists(library)) {
        *why = QStringLiteral("--only needs the package libfaketime: %1 is missing.").arg(library);
        return kExitUnavailable;
    }
    const std::string& path = command.path;
    if (const PreloadReach reach = preloadReach(path); reach.obstacle != PreloadReach::None) {
        const QString program = QFile::decodeName(reach.program.c_str());
        *why = QStringLiteral("%1 %2, so --only cannot show it the date: use --at without --only.")
                   .arg(reach.program == path ? program
                                              : QStringLiteral("%1, the interpreter of %2,").arg(program, command.name),
                        obstacleText(reach.obstacle));
        return kExitOutOfReach;
    }

    // The same instant as Set picks: this local time of day on DATE, or the
    // time of day given, with skipped and repeated times resolved the same way.
    const std::unique_ptr<SystemClock> clock = makeSystemClock();
    // Under an outer --only this process's own clock is faked already, and
    // the offset is added to the unfaked one.
    const std::int64_t now = unfakedNowNs();
    std::int64_t instant = 0;
    const CivilDate day = DateText::toCivil(command.date);
    if (const AppError error = command.secondOfDay < 0
                                   ? clock->instantOn(day, now, &instant)
                                   : instantAtTimeOfDay(day, command.secondOfDay, now, &instant)) {
        *why = error.number == kErrInvalidCall
                   ? QStringLiteral("The system has no such time of day on '%1'.").arg(dateText)
                   : QStringLiteral("The date could not be worked out: %1").arg(QString::fromStdString(error.description));
        return error.number == kErrInvalidCall ? kExitNotADate : kExitOsError;
    }
    launch->argv = std::move(command.argv);
    launch->path = std::move(command.path);
    launch->environment.clear();
    // Both carry the fraction of a second of `now`: whole seconds apart.
    launch->environment.append(qMakePair(QByteArray("FAKETIME"), faketimeOffset((instant - now) / kNsPerSecond)));
    // As after a set of the system clock, the clocks that measure time passing run as they did.
    launch->environment.append(qMakePair(QByteArray("FAKETIME_DONT_FAKE_MONOTONIC"), QByteArray("1")));
    QByteArray preload = QFile::encodeName(library);
    // The loader splits the list at blanks and colons. An outer --only's
    // libfaketime is there already.
    for (const QByteArray& entry : qgetenv("LD_PRELOAD").replace(' ', ':').split(':')) {
        if (!entry.isEmpty() && entry != QFile::encodeName(library))
            preload += ':' + entry;
    }
    launch->environment.append(qMakePair(QByteArray("LD_PRELOAD"), preload));
    return 0;
}

int runOnly(const QString& dateText, const QStringList& arguments)
{
    ChildCommand child;
    return runOnly(dateText, arguments, child, {});
}

int runOnly(const QString& dateText, const QStringList& arguments, ChildCommand& child, ChildWatch watch)
{
    OnlyLaunch launch;
    QString why;
    if (const int status = prepareOnly(dateText, arguments, &launch, &why)) {
        say(why);
        return status;
    }
    for (const auto& [name, value] : launch.environment)
        qputenv(name.constData(), value);

    PreparedCommand command;
    command.argv = std::move(launch.argv);
    command.path = std::move(launch.path);
    command.name = arguments.first();
    const int status = runCommand(child, command, std::move(watch));
    if (child.lastPid() > 0)
        removeFaketimeLeftovers(child.lastPid());
    return status;
}
