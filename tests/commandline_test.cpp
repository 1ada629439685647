// What each command line asks for, decided before any window exists.

#include <gtest/gtest.h>

#include <ostream>
#include <utility>

#include "commandline.h"

namespace {

struct ParseCase {
    const char* name;
    QStringList arguments;  // after the program's name
    CommandLine::Action action;
    QString date;           // --date or --at
    QStringList command;
    QString firstLine;      // of what is printed, when it matters
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class CommandLineParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, Decides)
{
    const ParseCase& c = GetParam();
    const CommandLine line = parseCommandLine(QStringList{QStringLiteral("/usr/bin/ravodor")} + c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.date, c.date);
    EXPECT_EQ(line.hasDate, c.action == CommandLine::Window && !c.date.isEmpty());
    EXPECT_EQ(line.command, c.command);
    if (c.action == CommandLine::RunAt || c.action == CommandLine::RunOnly) {
        EXPECT_EQ(line.askPassword, !c.arguments.contains(QStringLiteral("--no-ask-password")));
    }
    if (c.action == CommandLine::Window) {
        EXPECT_EQ(line.platformNamed, c.arguments.contains(QStringLiteral("-platform"))
                                          || c.arguments.contains(QStringLiteral("-display")));
    }
    if (!c.firstLine.isEmpty()) {
        EXPECT_EQ(line.text.section(QLatin1Char('\n'), 0, 0), c.firstLine);
    }
}

using S = QStringList;
const QString kDay = QStringLiteral("2030-01-01");

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParse,
    ::testing::Values(
        ParseCase{"Nothing", {}, CommandLine::Window, {}, {}, {}},
        ParseCase{"Help", S{"--help"}, CommandLine::Help, {}, {}, "Usage: ravodor [--date DATE] [Qt options]"},
        ParseCase{"ShortHelp", S{"-h"}, CommandLine::Help, {}, {}, {}},
        ParseCase{"Version", S{"--version"}, CommandLine::Version, {}, {}, "Ravodor " RAVODOR_PROJECT_VERSION},
        ParseCase{"Date", S{"--date", kDay}, CommandLine::Window, kDay, {}, {}},
        ParseCase{"DateJoined", S{"--date=" + kDay}, CommandLine::Window, kDay, {}, {}},
        ParseCase{"QtOptionsPass", S{"-platform", "offscreen", "-style=fusion", "-reverse", "--date", kDay},
                  CommandLine::Window, kDay, {}, {}},
        ParseCase{"XDisplayNamed", S{"-display", ":1"}, CommandLine::Window, {}, {}, {}},
        ParseCase{"AtWithDashes", S{"--at", kDay, "--", "ls", "-l"}, CommandLine::RunAt, kDay, S{"ls", "-l"}, {}},
        ParseCase{"AtWithoutDashes", S{"--at", kDay, "ls", "-l", "--date", "x"}, CommandLine::RunAt, kDay,
                  S{"ls", "-l", "--date", "x"}, {}},
        ParseCase{"AtOnly", S{"--at", kDay, "--only", "--", "ls"}, CommandLine::RunOnly, kDay, S{"ls"}, {}},
        ParseCase{"OnlyAfterCommand", S{"--at", kDay, "ls", "--only"}, CommandLine::RunAt, kDay, S{"ls", "--only"},
                  {}},
        ParseCase{"OnlyWithoutAt", S{"--only", "--date", kDay}, CommandLine::Usage, {}, {},
                  "ravodor: --only needs --at DATE and a COMMAND."},
        ParseCase{"NoAskPassword", S{"--at", kDay, "--no-ask-password", "ls"}, CommandLine::RunAt, kDay, S{"ls"}, {}},
        ParseCase{"NoAskPasswordWithOnly", S{"--no-ask-password", "--at", kDay, "--only", "ls"}, CommandLine::RunOnly,
                  kDay, S{"ls"}, {}},
        ParseCase{"NoAskPasswordWithoutAt", S{"--no-ask-password"}, CommandLine::Usage, {}, {},
                  "ravodor: --no-ask-password needs --at DATE and a COMMAND."},
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
        const CommandLine line = parseCommandLine({QStringLiteral("ravodor"), QStringLiteral("--help")},
                                                  QLocale(QString::fromLatin1(locale)));
        EXPECT_TRUE(line.text.contains(QStringLiteral(
            "DATE is written YYYY-MM-DD, or in the short form of the locale, for example %1.\n").arg(example)))
            << line.text.toStdString();
    }
}

}  // namespace
