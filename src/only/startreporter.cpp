#include "startreporter.h"

#include "detachedstart.h"
#include "outputtee.h"
#include "startreport.h"

namespace {

// Enough to tell why, not a log.
constexpr int kErrorLines = 3;

}  // namespace

StartReporter::StartReporter(int fd) : fd_(fd < 0 ? -1 : takeHandedFd(fd))
{
    if (fd_ >= 0)
        tee_ = std::make_unique<OutputTee>();
    if (tee_ && !tee_->ok())
        tee_.reset();
}

StartReporter::~StartReporter()
{
    if (fd_ >= 0)
        send(StartReport::NotStarted, 1, QStringLiteral("It ended without saying how."));
}

ChildSetup StartReporter::setup()
{
    ChildSetup setup;
    if (fd_ < 0)
        return setup;
    if (tee_) {
        setup.streams = tee_->streams();
        setup.watches = tee_->watches();
    }
    setup.momentsMs = kFirstMomentsMs;
    setup.momentsPassed = [this] { send(StartReport::Running, 0); };
    return setup;
}

void StartReporter::notStarted(int status, const QString& why)
{
    if (fd_ >= 0)
        send(StartReport::NotStarted, status, why);
}

void StartReporter::ended(int status)
{
    if (fd_ < 0)
        return;
    // All it wrote before it ended is in the pipes by now.
    if (tee_)
        tee_->passOnWhatCame();
    send(StartReport::Ended, status);
}

void StartReporter::passOnToTheEnd()
{
    if (!tee_)
        return;
    tee_->closeWritingEnds();
    tee_->passOnToTheEnd();
}

void StartReporter::send(int outcome, int status, const QString& why)
{
    StartReport report;
    report.outcome = static_cast<StartReport::Outcome>(outcome);
    report.status = status;
    report.reason = why.toStdString();
    report.terminal = OutputTee::outputIsTerminal();
    report.outputPlace = OutputTee::outputPlace();
    if (tee_) {
        report.wroteOutput = tee_->wroteOutput();
        report.errorLines = tee_->lastErrorLines(kErrorLines);
    }
    sendAndClose(fd_, encodeReport(report));
    fd_ = -1;
}
