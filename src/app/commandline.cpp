#include "commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include "datetext.h"
#include "version.h"

namespace {

// The options QGuiApplication and QApplication take from the command line
// themselves (and the X11 ones the xcb plugin reads). The parser must know
// them, or it calls them unknown; the help leaves them out.
const char* const kQtValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
    "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
    "title", "name", "visual", "ncols", "style", "stylesheet", "dialogs", "fontengine", "darkmode",
};
const char* const kQtFlagOptions[] = {
    "reverse", "widgetcount", "nograb", "dograb", "sync", "cmap", "testability",
};

// DATE with a time of day, valid or not: what --at takes with --only alone.
const QRegularExpression kTimeOfDay(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T"));

QString usageLines(const QString& program)
{
    return QStringLiteral("Usage: %1 [--date DATE] [Qt options]\n"
                          "       %1 --at DATE [--only] [--no-ask-password] [--] COMMAND [ARG...]\n"
                          "       %1 --at DATE --only --make-launcher [--] COMMAND [ARG...]\n"
                          "       %1 --only --bisect FROM..TO [--timeout SECONDS] [--] COMMAND [ARG...]\n")
        .arg(program);
}

// A date the user can copy: day and month tell apart in every order.
QString dateForms(const QLocale& locale)
{
    return QStringLiteral("DATE is written YYYY-MM-DD, or in the short form of the locale, for example %1.\n"
                          "With --only, DATE may give a local time of day too: YYYY-MM-DDTHH:MM[:SS], "
                          "for example 2030-12-31T23:59:50.")
        .arg(DateText(locale).format(QDate(2030, 12, 31)));
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& argv, const QLocale& locale)
{
    // Options are read as text; the command keeps the bytes it was given.
    QStringList arguments;
    for (const std::string& argument : argv)
        arguments << QString::fromLocal8Bit(argument.data(), qsizetype(argument.size()));
    const QString program = arguments.isEmpty() ? QStringLiteral("ravodor")
                                                : QFileInfo(arguments.first()).fileName();

    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform), and a command's own
    // options after --at COMMAND belong to the command, as with env or nice.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);

    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption date(
        QStringLiteral("date"),
        QStringLiteral("Start with DATE in \"Alter date\" and set it at once, as Set does."),
        QStringLiteral("DATE"));
    const QCommandLineOption at(
        QStringLiteral("at"),
        QStringLiteral("Set DATE without a window, run COMMAND, then put the real date back; "
                       "exit with COMMAND's status."),
        QStringLiteral("DATE"));
    const QCommandLineOption only(
        QStringLiteral("only"),
        QStringLiteral("With --at: show DATE to COMMAND and the programs it starts alone, through "
                       "libfaketime; the system clock stays as it is and no right is needed. DATE may "
                       "carry a time of day."));
    const QCommandLineOption noAskPassword(
        QStringLiteral("no-ask-password"),
        QStringLiteral("With --at: do not ask for a password in the terminal when the system's time "
                       "service needs one."));
    const QCommandLineOption makeLauncher(
        QStringLiteral("make-launcher"),
        QStringLiteral("With --at DATE --only: instead of running COMMAND, add a launcher to the applications "
                       "menu that always runs it so, and print the path of its file."));
    const QCommandLineOption bisect(
        QStringLiteral("bisect"),
        QStringLiteral("With --only instead of --at: run COMMAND at FROM, at TO and at dates between them, "
                       "halving, and print the first date at which it fails (exits with a status other than 0). "
                       "It assumes a COMMAND that, once failing, keeps failing. Whole days, or seconds when "
                       "FROM and TO carry a time of day."),
        QStringLiteral("FROM..TO"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("With --bisect: end a trial that runs longer than SECONDS; it counts as failing."),
        QStringLiteral("SECONDS"));
    // How the window hears whether the program it started ran (startreport.h).
    QCommandLineOption startReport(QStringLiteral("start-report"), QString(), QStringLiteral("FD"));
    startReport.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, date, at, only, noAskPassword, makeLauncher, bisect, timeout, startReport});
    for (const char* name : kQtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("With --at or --bisect: the command to run, and its arguments."),
                                 QStringLiteral("[COMMAND [ARG...]]"));

    CommandLine result;
    const auto usageError = [&](const QString& message) {
        result.action = CommandLine::Usage;
        result.text = program + QStringLiteral(": ") + message + QLatin1Char('\n') + usageLines(program)
                      + QStringLiteral("Try '%1 --help' for more information.\n").arg(program);
        return result;
    };

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        // Only for --help: the locale's date forms would cost every start.
        parser.setApplicationDescription(
            QStringLiteral("Changes the system date for a while and puts the real date back.\n") + dateForms(locale));
        // The parser's own first line names the program by its full path.
        const QString text = parser.helpText();
        result.action = CommandLine::Help;
        result.text = usageLines(program) + text.mid(text.indexOf(QLatin1Char('\n')) + 1)
                      + QStringLiteral("\nThe first day on which a certificate has expired:\n"
                                       "  %1 --only --bisect 2027-01-01..2037-01-01 -- "
                                       "openssl x509 -checkend 0 -noout -in cert.pem\n")
                            .arg(program);
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Version;
        result.text = QStringLiteral("Ravodor %1.%2.%3\n")
                          .arg(RAVODOR_VERSION_MAJOR)
                          .arg(RAVODOR_VERSION_MINOR)
                          .arg(RAVODOR_VERSION_PATCH);
        return result;
    }
    if (parser.values(date).size() > 1 || parser.values(at).size() > 1 || parser.values(bisect).size() > 1)
        return usageError(QStringLiteral("DATE given more than once."));

    const QStringList positional = parser.positionalArguments();
    // The positional arguments are the last ones: everything from COMMAND on.
    const std::vector<std::string> command(argv.end() - positional.size(), argv.end());
    if (parser.isSet(bisect)) {
        if (parser.isSet(startReport))
            return usageError(QStringLiteral("--start-report needs --at DATE --only and a COMMAND."));
        if (parser.isSet(at) || parser.isSet(date) || parser.isSet(makeLauncher))
            return usageError(QStringLiteral("--bisect takes no --at, --date or --make-launcher."));
        if (!parser.isSet(only))
            return usageError(QStringLiteral("--bisect needs --only: it never sets the system clock."));
        if (!parser.value(bisect).contains(QLatin1String("..")))
            return usageError(QStringLiteral("--bisect takes FROM..TO, for example 2030-01-01..2031-12-31."));
        if (positional.isEmpty())
            return usageError(QStringLiteral("--bisect needs a COMMAND to run."));
        if (parser.isSet(timeout)) {
            bool number = false;
            const double seconds = parser.value(timeout).toDouble(&number);
            // NaN fails both comparisons.
            if (!number || !(seconds >= 0.001 && seconds <= 1e9))
                return usageError(QStringLiteral("--timeout takes seconds from 0.001 on, for example 30 or 0.5."));
            result.timeout = seconds;
        }
        result.action = CommandLine::Bisect;
        result.date = parser.value(bisect);
        result.command = command;
        return result;
    }
    if (parser.isSet(timeout))
        return usageError(QStringLiteral("--timeout needs --only --bisect FROM..TO and a COMMAND."));
    if (parser.isSet(at)) {
        if (parser.isSet(date))
            return usageError(QStringLiteral("--at and --date cannot be used together."));
        if (positional.isEmpty())
            return usageError(QStringLiteral("--at needs a COMMAND to run."));
        if (parser.isSet(makeLauncher) && !parser.isSet(only))
            return usageError(QStringLiteral("--make-launcher needs --at DATE --only and a COMMAND."));
        // Setting the system clock keeps the time of day running as it is.
        if (!parser.isSet(only) && kTimeOfDay.match(parser.value(at)).hasMatch())
            return usageError(QStringLiteral("A time of day needs --only: the system-wide way keeps the time "
                                             "of day and changes the date alone."));
        result.action = parser.isSet(makeLauncher) ? CommandLine::MakeLauncher
                        : parser.isSet(only)       ? CommandLine::RunOnly
                                                   : CommandLine::RunAt;
        if (parser.isSet(startReport) && result.action != CommandLine::RunOnly)
            return usageError(QStringLiteral("--start-report needs --at DATE --only and a COMMAND."));
        result.date = parser.value(at);
        result.command = command;
        result.askPassword = !parser.isSet(noAskPassword);
        bool number = false;
        result.reportFd = parser.isSet(startReport) ? parser.value(startReport).toInt(&number) : -1;
        if (parser.isSet(startReport) && (!number || result.reportFd < 0))
            return usageError(QStringLiteral("--start-report takes a descriptor's number."));
        return result;
    }
    if (parser.isSet(only))
        return usageError(QStringLiteral("--only needs --at DATE or --bisect FROM..TO, and a COMMAND."));
    if (parser.isSet(makeLauncher))
        return usageError(QStringLiteral("--make-launcher needs --at DATE --only and a COMMAND."));
    if (parser.isSet(noAskPassword))
        return usageError(QStringLiteral("--no-ask-password needs --at DATE and a COMMAND."));
    if (parser.isSet(startReport))
        return usageError(QStringLiteral("--start-report needs --at DATE --only and a COMMAND."));
    if (!positional.isEmpty())
        return usageError(QStringLiteral("Unexpected argument '%1'.").arg(positional.first()));
    result.platformNamed = parser.isSet(QStringLiteral("platform")) || parser.isSet(QStringLiteral("display"));
    result.hasDate = parser.isSet(date);
    result.date = parser.value(date);
    return result;
}
