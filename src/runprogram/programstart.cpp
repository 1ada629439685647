#include "programstart.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cstring>

#include "detachedstart.h"

namespace {

std::vector<std::string> onlyArguments(const QString& ravodor, const QString& date,
                                       const std::vector<std::string>& command, bool report)
{
    std::vector<std::string> argv{QFile::encodeName(ravodor).toStdString(), "--at", date.toStdString(), "--only"};
    if (report)
        argv.insert(argv.end(), {"--start-report", "3"});
    argv.push_back("--");
    argv.insert(argv.end(), command.begin(), command.end());
    return argv;
}

QString startError(const QString& program, int error)
{
    return QStringLiteral("%1 could not be started: %2").arg(program, QString::fromLocal8Bit(std::strerror(error)));
}

// Where the output of a program without a terminal went, as `place` names it.
QString outputWords(const std::string& place)
{
    const QString where = QString::fromStdString(place);
    if (where == QLatin1String("/dev/null"))
        return QStringLiteral("its output was thrown away");
    if (where.startsWith(QLatin1Char('/')))
        return QStringLiteral("its output went to %1").arg(where);
    if (where.startsWith(QLatin1String("socket:")))
        return QStringLiteral("its output went to the session's log");
    return QStringLiteral("its output went where this window's goes, unseen");
}

}  // namespace

ProgramStart::ProgramStart(QObject* parent, Heard heard) : QObject(parent), heard_(std::move(heard)) {}

bool ProgramStart::start(const QString& ravodor, const QString& date, const std::vector<std::string>& command,
                         QString* why)
{
    int report = -1;
    if (const int error = startDetached(QFile::encodeName(ravodor).toStdString(),
                                        onlyArguments(ravodor, date, command, true), &report)) {
        *why = startError(ravodor, error);
        return false;
    }
    fd_ = report;
    notifier_ = new QSocketNotifier(report, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        if (receiveSome(fd_, &received_))
            return;
        fd_ = -1;
        notifier_->setEnabled(false);
        StartReport report;
        const bool heard = decodeReport(received_, &report);
        if (heard_)
            std::exchange(heard_, nullptr)(report, heard);
        deleteLater();
    });
    return true;
}

ProgramStart::~ProgramStart()
{
    // Gone first (the window closed): the run goes on, unheard.
    if (fd_ >= 0)
        closeHanded(fd_);
}

QString ProgramStart::terminalEmulator()
{
    return QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
}

bool ProgramStart::startInTerminal(const QString& ravodor, const QString& date, const std::vector<std::string>& command,
                                   QString* why)
{
    const QString terminal = terminalEmulator();
    // Its -e takes a program and its arguments, passed on as they are.
    std::vector<std::string> argv{QFile::encodeName(terminal).toStdString(), "-e", "sh", "-c",
                                  "\"$@\"; status=$?; printf '\\n[Ended with status %s. Press Enter to close.]' "
                                  "\"$status\"; read -r _; exit \"$status\"",
                                  "sh"};
    const std::vector<std::string> only = onlyArguments(ravodor, date, command, false);
    argv.insert(argv.end(), only.begin(), only.end());
    if (const int error = startDetached(argv.front(), argv)) {
        *why = startError(terminal, error);
        return false;
    }
    return true;
}

QString startWords(const QString& name, const QString& shown, const StartReport& report, bool heard)
{
    if (!heard)
        return QStringLiteral("%1 was started at %2, but no word came on how it went.").arg(name, shown);
    if (report.outcome == StartReport::NotStarted)
        return QString::fromStdString(report.reason);
    QString words;
    if (report.outcome == StartReport::Running)
        words = QStringLiteral("%1 started at %2.").arg(name, shown);
    else if (report.status == 0)
        words = QStringLiteral("%1 ran at %2 and ended at once, with status 0.").arg(name, shown);
    else
        words = QStringLiteral("%1 ended at once with status %2.").arg(name, QString::number(report.status));
    if (report.wroteOutput && !report.terminal)
        words += QStringLiteral(" It has no terminal to show its output in: %1.").arg(outputWords(report.outputPlace));
    if (report.outcome == StartReport::Ended && report.status != 0 && !report.errorLines.empty())
        words += QLatin1Char('\n') + QString::fromLocal8Bit(report.errorLines.c_str());
    return words;
}
