#include "runbisect.h"

#include <QDate>
#include <QTime>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "bisect.h"
#include "childcommand.h"
#include "childdeadline.h"
#include "clock.h"
#include "commandline.h"
#include "commandrun.h"
#include "datetext.h"
#include "runonly.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 3600;

// A point is a Julian day, or to the second that day's seconds on from the
// first Julian day: positive for every date --only shows.
QString pointText(std::int64_t point, bool toTheSecond)
{
    if (!toTheSecond)
        return QDate::fromJulianDay(point).toString(Qt::ISODate);
    return QDate::fromJulianDay(point / kSecondsPerDay).toString(Qt::ISODate) + QLatin1Char('T')
           + QTime(0, 0).addSecs(int(point % kSecondsPerDay)).toString(Qt::ISODate);
}

std::int64_t pointOf(const PreparedCommand& end, bool toTheSecond)
{
    const std::int64_t day = end.date.toJulianDay();
    return toTheSecond ? day * kSecondsPerDay + end.secondOfDay : day;
}

// libfaketime's offset is whole seconds, so the command sees the time of
// day given from the fraction of a second at which it starts: from the
// turn of a second, for the whole of it.
void waitForTheTurnOfASecond()
{
    std::this_thread::sleep_for(std::chrono::nanoseconds(kNsPerSecond - unfakedNowNs() % kNsPerSecond));
}

// The command's standard output goes to standard error while it is tried,
// so that standard output holds the answer alone. (Commands run on Unix
// alone so far: childcommand_win.cpp.)
class AnswerOnly {
public:
    AnswerOnly()
    {
#ifdef Q_OS_UNIX
        std::fflush(stdout);
        answer_ = ::dup(1);
        ::dup2(2, 1);
#endif
    }
    ~AnswerOnly() { restore(); }
    void restore()
    {
#ifdef Q_OS_UNIX
        if (answer_ < 0)
            return;
        std::fflush(stdout);
        ::dup2(answer_, 1);
        ::close(answer_);
        answer_ = -1;
#endif
    }

private:
    int answer_ = -1;
};

void tell(const QString& line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// FROM..TO as points: 0, or the exit code after saying what is wrong.
int readRange(const QString& range, const std::vector<std::string>& command, std::int64_t* from, std::int64_t* to,
              bool* toTheSecond)
{
    // The last "..": a short form that ends in a dot (2030. 12. 31.) leaves a third.
    const int split = range.lastIndexOf(QLatin1String(".."));
    PreparedCommand ends[2];
    const DateSpan span{DateText::minimum(), DateText::maximum(), QStringLiteral("--only cannot show that date."),
                        true};
    for (const auto& [text, end] : {std::pair{range.left(split), &ends[0]}, {range.mid(split + 2), &ends[1]}}) {
        echoReadDate(text);
        if (const int status = prepareCommand(text, command, span, Reader::CommandLine, end))
            return status;
    }
    *toTheSecond = ends[0].secondOfDay >= 0;
    if (*toTheSecond != (ends[1].secondOfDay >= 0)) {
        say(QStringLiteral("FROM and TO both give a time of day, or neither does."));
        return kExitUsage;
    }
    *from = pointOf(ends[0], *toTheSecond);
    *to = pointOf(ends[1], *toTheSecond);
    if (*from >= *to) {
        say(QStringLiteral("FROM must come before TO."));
        return kExitUsage;
    }
    return 0;
}

}  // namespace

int runBisect(const QString& range, const std::vector<std::string>& command, double timeoutSeconds)
{
    std::int64_t from = 0;
    std::int64_t to = 0;
    bool toTheSecond = false;
    if (const int status = readRange(range, command, &from, &to, &toTheSecond))
        return status;

    int stopStatus = 0;
    AnswerOnly answerOnly;
    const BisectResult result = bisect(from, to, [&](std::int64_t point) {
        const QString date = pointText(point, toTheSecond);
        if (toTheSecond)
            waitForTheTurnOfASecond();
        ChildCommand child;
        ChildDeadline deadline(child, timeoutSeconds);
        const int status = runOnly(date, command, child, deadline.watch());
        // Not started: runOnly has said why.
        if (child.lastPid() == 0) {
            stopStatus = status;
            return TrialOutcome::Stop;
        }
        // A status the command gave while asked to end says nothing of the date.
        if (const int asked = ChildCommand::endingSignal()) {
            say(QStringLiteral("Ended during the trial at %1: no answer.").arg(date));
            stopStatus = 128 + asked;
            return TrialOutcome::Stop;
        }
        tell(deadline.expired() ? QStringLiteral("%1: timed out after %2 s").arg(date, QString::number(timeoutSeconds))
                                : QStringLiteral("%1: exit %2").arg(date).arg(status));
        return status == 0 ? TrialOutcome::Passes : TrialOutcome::Fails;
    });

    answerOnly.restore();
    const QString name = commandName(command.front());
    const QString first = pointText(from, toTheSecond);
    const QString last = pointText(to, toTheSecond);
    switch (result.outcome) {
    case BisectResult::Found:
        std::printf("%s\n", pointText(result.firstFailing, toTheSecond).toLatin1().constData());
        std::fflush(stdout);
        tell(QStringLiteral("first failing date %1 (%2 passes), %3 runs")
                 .arg(pointText(result.firstFailing, toTheSecond), pointText(result.lastPassing, toTheSecond))
                 .arg(result.runs));
        return 0;
    case BisectResult::NoFailure:
        say(QStringLiteral("%1 passes at TO (%2): no failing date from %3 to %2.").arg(name, last, first));
        return 1;
    case BisectResult::FromFails:
        say(QStringLiteral("%1 fails at FROM already (%2): it must pass there.").arg(name, first));
        return 2;
    case BisectResult::Stopped:
        break;
    }
    return stopStatus;
}
