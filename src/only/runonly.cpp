#include "runonly.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cstdint>
#include <string>
#include <utility>

#include "childcommand.h"
#include "clock.h"
#include "commandrun.h"
#include "datetext.h"
#include "exitcodes.h"
#include "faketimeenv.h"
#include "preloadreach.h"
#include "startreporter.h"

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

// A time of day the zone skips or repeats on DATE, as it was taken.
QString readAsLine(const QString& dateText, const OnlyLaunch& launch)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(launch.shownSecond);
    const QString shown = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
    return launch.fit == TimeFit::Skipped
               ? QStringLiteral("%1 read as %2: the time zone skips that time of day then").arg(dateText, shown)
               : QStringLiteral("%1 read as %2: the time zone passes that time of day twice then").arg(dateText, shown);
}

}  // namespace

int prepareOnly(const QString& dateText, const std::vector<std::string>& arguments, Reader reader,
                OnlyLaunch* launch, QString* why)
{
    const bool window = reader == Reader::Window;
    PreparedCommand command;
    // libfaketime takes any date the program does, in whole seconds (on 64-bit systems).
    const DateSpan span{DateText::minimum(), DateText::maximum(),
                        window ? QStringLiteral("A program cannot be shown that date.")
                               : QStringLiteral("--only cannot show that date."),
                        true};
    if (const int status = prepareCommand(dateText, arguments, span, reader, &command, why))
        return status;
    const QString library = QString::fromLocal8Bit(faketimeLibrary());
    if (!QFile::exists(library)) {
        *why = (window ? QStringLiteral("Showing a program a date of its own needs the package libfaketime: "
                                        "%1 is missing.")
                       : QStringLiteral("--only needs the package libfaketime: %1 is missing."))
                   .arg(library);
        return kExitUnavailable;
    }
    const std::string& path = command.path;
    if (const PreloadReach reach = preloadReach(path); reach.obstacle != PreloadReach::None) {
        const QString program = QFile::decodeName(reach.program.c_str());
        *why = (window ? QStringLiteral("%1 %2, so it cannot be shown a date of its own: use Set in the main window "
                                        "instead.")
                       : QStringLiteral("%1 %2, so --only cannot show it the date: use --at without --only."))
                   .arg(reach.program == path ? program
                                              : QStringLiteral("%1, the interpreter of %2,").arg(program, command.name),
                        obstacleText(reach.obstacle));
        return kExitOutOfReach;
    }

    // The same second as Set picks: this local time of day on DATE, or the
    // time of day given, with skipped and repeated times resolved the same way.
    // Under an outer --only this process's own clock is faked already, and
    // the offset is added to the unfaked one.
    const std::int64_t now = SystemClock::floorSeconds(unfakedNowNs());
    const QString day = command.date.toString(Qt::ISODate);
    launch->fit = TimeFit::Exact;
    if (const AppError error = localSecondOn(DateText::toCivil(command.date), command.secondOfDay, now,
                                             &launch->shownSecond,
                                             command.secondOfDay >= 0 ? &launch->fit : nullptr)) {
        const QString reason = QString::fromStdString(error.description);
        *why = error.number != kErrInvalidCall ? QStringLiteral("The date could not be worked out: %1").arg(reason)
               : command.secondOfDay >= 0      ? QStringLiteral("The time zone has no such time of day on %1.").arg(day)
                                               : QStringLiteral("The time zone skips the day %1.").arg(day);
        return error.number == kErrInvalidCall ? kExitNotADate : kExitOsError;
    }
    launch->argv = std::move(command.argv);
    launch->path = std::move(command.path);
    launch->environment.clear();
    // Whole seconds apart, so the fraction of a second runs on as it is.
    launch->environment.append(
        qMakePair(QByteArray("FAKETIME"), QByteArray::fromStdString(faketimeOffset(launch->shownSecond - now))));
    // As after a set of the system clock, the clocks that measure time passing run as they did.
    launch->environment.append(qMakePair(QByteArray("FAKETIME_DONT_FAKE_MONOTONIC"), QByteArray("1")));
    // An outer --only's libfaketime is there already.
    const QByteArray preload = QByteArray::fromStdString(
        faketimePreload(faketimeLibrary(), qgetenv("LD_PRELOAD").constData()));
    launch->environment.append(qMakePair(QByteArray("LD_PRELOAD"), preload));
    return 0;
}

namespace {

// Through `child`, with `watch` looked after while the command runs, and the
// start told to `reporter`.
int runThrough(const QString& dateText, const std::vector<std::string>& arguments, ChildCommand& child,
               ChildWatch watch, StartReporter& reporter, Reader reader)
{
    OnlyLaunch launch;
    QString why;
    if (const int status = prepareOnly(dateText, arguments, reader, &launch, &why)) {
        say(why);
        reporter.notStarted(status, why);
        return status;
    }
    if (launch.fit != TimeFit::Exact && reader == Reader::CommandLine && stderrIsTerminal())
        say(readAsLine(dateText, launch));
    for (const auto& [name, value] : launch.environment)
        qputenv(name.constData(), value);

    PreparedCommand command;
    command.argv = std::move(launch.argv);
    command.path = std::move(launch.path);
    command.name = commandName(arguments.front());
    ChildSetup setup = reporter.setup();
    if (watch.fd >= 0)
        setup.watches.push_back(std::move(watch));
    QString failure;
    const int status = runCommand(child, command, std::move(setup), &failure);
    if (child.lastPid() > 0) {
        reporter.ended(status);
        removeFaketimeLeftovers(child.lastPid());
    } else {
        // The window names a program by its file name.
        reporter.notStarted(status,
                            QStringLiteral("%1 could not start: %2").arg(QFileInfo(command.name).fileName(), failure));
    }
    return status;
}

}  // namespace

int runOnly(const QString& dateText, const std::vector<std::string>& arguments, int reportFd)
{
    StartReporter reporter(reportFd);
    int status = 0;
    {
        ChildCommand child;
        status = runThrough(dateText, arguments, child, {}, reporter,
                            reportFd < 0 ? Reader::CommandLine : Reader::Window);
    }
    // What the programs it started still write passes on for as long as they do.
    reporter.passOnToTheEnd();
    return status;
}

int runOnly(const QString& dateText, const std::vector<std::string>& arguments, ChildCommand& child,
            ChildWatch watch)
{
    StartReporter none(-1);
    return runThrough(dateText, arguments, child, std::move(watch), none, Reader::CommandLine);
}
