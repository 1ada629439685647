// What each command line asks for, decided before any window exists.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "commandline.h"

namespace {

using S = std::vector<std::string>;

struct ParseCase {
    const char* name;
    S arguments;            // after the program's name
    CommandLine::Action action;
    QString date;           // --date or --at
    S command;
    QString firstLine;      // of what is printed, when it matters
    double timeout = 0;     // of --bisect
};

bool has(const S& arguments, const char* argument)
{
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
}

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class CommandLineParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, Decides)
{
    const ParseCase& c = GetParam();
    S arguments{"/usr/bin/ravodor"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CommandLine line = parseCommandLine(arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.date, c.date);
    EXPECT_EQ(line.hasDate, c.action == CommandLine::Window && !c.date.isEmpty());
    EXPECT_EQ(line.command, c.command);
    EXPECT_EQ(line.timeout, c.timeout);
    if (c.action == CommandLine::RunAt || c.action == CommandLine::RunOnly) {
        EXPECT_EQ(line.askPassword, !has(c.arguments, "--no-ask-password"));
        EXPECT_EQ(line.reportFd, has(c.arguments, "--start-report") ? 3 : -1);
    }
    if (c.action == CommandLine::Window) {
        EXPECT_EQ(line.platformNamed, has(c.arguments, "-platform") || has(c.arguments, "-display"));
    }
    if (!c.firstLine.isEmpty()) {
        EXPECT_EQ(line.text.section(QLatin1Char('\n'), 0, 0), c.firstLine);
    }
}

const std::string kDay = "2030-01-01";
const QString kQDay = QString::fromStdString(kDay);

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParse,
    ::testing::Values(
        ParseCase{"Nothing", {}, CommandLine::Window, {}, {}, {}},
        ParseCase{"Help", S{"--help"}, CommandLine::Help, {}, {}, "Usage: ravodor [--date DATE] [Qt options]"},
        ParseCase{"ShortHelp", S{"-h"}, CommandLine::Help, {}, {}, {}},
        ParseCase{"Version", S{"--version"}, CommandLine::Version, {}, {}, "Ravodor " RAVODOR_PROJECT_VERSION},
        ParseCase{"Date", S{"--date", kDay}, CommandLine::Window, kQDay, {}, {}},
        ParseCase{"DateJoined", S{"--date=" + kDay}, CommandLine::Window, kQDay, {}, {}},
        ParseCase{"QtOptionsPass", S{"-platform", "offscreen", "-style=fusion", "-reverse", "--date", kDay},
                  CommandLine::Window, kQDay, {}, {}},
        ParseCase{"XDisplayNamed", S{"-display", ":1"}, CommandLine::Window, {}, {}, {}},
        ParseCase{"AtWithDashes", S{"--at", kDay, "--", "ls", "-l"}, CommandLine::RunAt, kQDay, S{"ls", "-l"}, {}},
        ParseCase{"AtWithoutDashes", S{"--at", kDay, "ls", "-l", "--date", "x"}, CommandLine::RunAt, kQDay,
                  S{"ls", "-l", "--date", "x"}, {}},
        ParseCase{"AtOnly", S{"--at", kDay, "--only", "--", "ls"}, CommandLine::RunOnly, kQDay, S{"ls"}, {}},
        ParseCase{"AtTimeOnly", S{"--at", kDay + "T23:59:58", "--only", "--", "ls"}, CommandLine::RunOnly,
                  kQDay + "T23:59:58", S{"ls"}, {}},
        ParseCase{"AtTimeWithoutOnly", S{"--at", kDay + "T23:59", "--", "ls"}, CommandLine::Usage, {}, {},
                  "ravodor: A time of day needs --only: the system-wide way keeps the time of day and changes the "
                  "date alone."},
        // Bytes that are no UTF-8 reach the command as given, a "--" after it included.
        ParseCase{"CommandBytesUnchanged", S{"--at", kDay, "printf", "caf\351", "--", "\377"}, CommandLine::RunAt,
                  kQDay, S{"printf", "caf\351", "--", "\377"}, {}},
        ParseCase{"StartReport", S{"--at", kDay, "--only", "--start-report", "3", "--", "ls"}, CommandLine::RunOnly,
                  kQDay, S{"ls"}, {}},
        ParseCase{"StartReportWithoutOnly", S{"--at", kDay, "--start-report", "3", "ls"}, CommandLine::Usage, {}, {},
                  "ravodor: --start-report needs --at DATE --only and a COMMAND."},
        ParseCase{"OnlyAfterCommand", S{"--at", kDay, "ls", "--only"}, CommandLine::RunAt, kQDay, S{"ls", "--only"},
                  {}},
        ParseCase{"OnlyWithoutAt", S{"--only", "--date", kDay}, CommandLine::Usage, {}, {},
                  "ravodor: --only needs --at DATE or --bisect FROM..TO, and a COMMAND."},
        ParseCase{"NoAskPassword", S{"--at", kDay, "--no-ask-password", "ls"}, CommandLine::RunAt, kQDay, S{"ls"}, {}},
        ParseCase{"NoAskPasswordWithOnly", S{"--no-ask-password", "--at", kDay, "--only", "ls"}, CommandLine::RunOnly,
                  kQDay, S{"ls"}, {}},
        ParseCase{"NoAskPasswordWithoutAt", S{"--no-ask-password"}, CommandLine::Usage, {}, {},
                  "ravodor: --no-ask-password needs --at DATE and a COMMAND."},
        ParseCase{"MakeLauncher", S{"--at", kDay, "--only", "--make-launcher", "--", "ls"}, CommandLine::MakeLauncher,
                  kQDay, S{"ls"}, {}},
        ParseCase{"MakeLauncherWithoutOnly", S{"--at", kDay, "--make-launcher", "ls"}, CommandLine::Usage, {}, {},
                  "ravodor: --make-launcher needs --at DATE --only and a COMMAND."},
        ParseCase{"MakeLauncherWithoutAt", S{"--make-launcher"}, CommandLine::Usage, {}, {},
                  "ravodor: --make-launcher needs --at DATE --only and a COMMAND."},
        ParseCase{"Bisect", S{"--only", "--bisect", kDay + ".." + kDay, "--", "ls", "-l"}, CommandLine::Bisect,
                  kQDay + ".." + kQDay, S{"ls", "-l"}, {}},
        ParseCase{"BisectTimeout", S{"--bisect=1..2", "--only", "--timeout", "0.5", "ls"}, CommandLine::Bisect, "1..2",
                  S{"ls"}, {}, 0.5},
        ParseCase{"BisectWithoutOnly", S{"--bisect", "1..2", "ls"}, CommandLine::Usage, {}, {},
                  "ravodor: --bisect needs --only: it never sets the system clock."},
        ParseCase{"BisectWithAt", S{"--only", "--bisect", "1..2", "--at", kDay, "ls"}, CommandLine::Usage, {}, {},
                  "ravodor: --bisect takes no --at, --date or --make-launcher."},
        ParseCase{"BisectWithoutRange", S{"--only", "--bisect", kDay, "ls"}, CommandLine::Usage, {}, {},
                  "ravodor: --bisect takes FROM..TO, for example 2030-01-01..2031-12-31."},
        ParseCase{"BisectWithoutCommand", S{"--only", "--bisect", "1..2"}, CommandLine::Usage, {}, {},
                  "ravodor: --bisect needs a COMMAND to run."},
        ParseCase{"TimeoutNoNumber", S{"--only", "--bisect", "1..2", "--timeout", "nan", "ls"}, CommandLine::Usage, {},
                  {}, "ravodor: --timeout takes seconds from 0.001 on, for example 30 or 0.5."},
        ParseCase{"TimeoutWithoutBisect", S{"--at", kDay, "--only", "--timeout", "5", "ls"}, CommandLine::Usage, {},
                  {}, "ravodor: --timeout needs --only --bisect FROM..TO and a COMMAND."},
        ParseCase{"AtWithoutCommand", S{"--at", kDay}, CommandLine::Usage, {}, {},
                  "ravodor: --at needs a COMMAND to run."},
        ParseCase{"UnknownOption", S{"--frob"}, CommandLine::Usage, {}, {}, "ravodor: Unknown option 'frob'."},
        ParseCase{"ErrorBeforeHelp", S{"--help", "--frob"}, CommandLine::Usage, {}, {}, {}},
        ParseCase{"MissingValue", S{"--date"}, CommandLine::Usage, {}, {}, "ravodor: Missing value after '--date'."},
        ParseCase{"StrayArgument", S{"today"}, CommandLine::Usage, {}, {}, {}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(CommandLineHelp, NamesYyyyMmDdAndTheLocalesShortFormByExample)
{
    for (const auto& [locale, example] : {std::pair{"en_GB", "31/12/2030"}, {"en_US", "12/31/2030"}}) {
        const CommandLine line = parseCommandLine({"ravodor", "--help"}, QLocale(QString::fromLatin1(locale)));
        EXPECT_TRUE(line.text.contains(QStringLiteral(
            "DATE is written YYYY-MM-DD, or in the short form of the locale, for example %1.\n").arg(example)))
            << line.text.toStdString();
    }
}

}  // namespace
