// Preset > Run a program at this date: the dialog on the offscreen platform
// runs the real program's --at --only, detached, or makes a launcher; the
// launcher's desktop entry quotes as desktops read it and takes the
// program's own icon.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimeEdit>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "childprogram.h"
#include "frmrunprogram.h"
#include "launcher.h"
#include "testenv.h"

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets an environment variable while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)) { qputenv(name, value); }
    ~ScopedEnv()
    {
        if (old_.isNull())
            qunsetenv(name_);
        else
            qputenv(name_, old_);
    }

private:
    const char* name_;
    QByteArray old_;
};

class RunProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (mayPassClockRight())
            GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    }

    QStringList launchers() const
    {
        return QDir(folders.dataHome() + QStringLiteral("/applications")).entryList(QDir::Files, QDir::Name);
    }

    TestFolders folders;
    QTemporaryDir dir;
};

// A file with these bytes and the execute bit.
QString program(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    QFile file(dir.filePath(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    EXPECT_TRUE(file.setPermissions(file.permissions() | QFile::ExeOwner));
    return file.fileName();
}

// Standard output goes to a file of the test's while it lives.
class OutputToFile {
public:
    explicit OutputToFile(const QString& path)
        : saved_(::dup(STDOUT_FILENO)), file_(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0600))
    {
        std::fflush(stdout);
        ::dup2(file_, STDOUT_FILENO);
    }
    ~OutputToFile()
    {
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
        ::close(file_);
    }

private:
    int saved_;
    int file_;
};

TEST_F(RunProgramTest, TheDialogRunsTheProgramAtItsDateAndSaysWhatHappenedOrWhyNot)
{
    // Whatever the program started does, the clock is the fake one.
    ScopedEnv preload("LD_PRELOAD", RAVODOR_FAKECLOCK_SO);
    ScopedEnv state("FAKECLOCK_STATE", dir.filePath(QStringLiteral("clock.state")).toLocal8Bit());
    // Notes the date and stays, or ends at once with the status it is given.
    const QString script = program(dir, "seen date",
                                   "#!/bin/sh\ndate '+%F %H:%M' >\"$1\"\n"
                                   "[ \"$2\" = stay ] && exec sleep 4\nexit ${2:-0}\n");
    const QString noInterpreter = program(dir, "badshebang.sh", "#!/nonexistent/interp\necho hi\n");
    const QString data = program(dir, "data.bin", QByteArray("\x01\x02\x03\x04 no program", 15));
    const QString output = dir.filePath(QStringLiteral("output"));

    const struct {
        const char* name;
        QString program;
        const char* arguments;  // %1: the file the program notes the date in
        bool launcher;          // Make a launcher, else Run
        const char* time;       // of day, "" for none
        const char* seen;       // what the program notes; "" when it does not run
        QString said;           // in the dialog's words
        const char* out = "";   // what passes on to where the window's output goes
    } cases[] = {
        {"still running", script, "'%1' stay", false, "", "2030-06-15 ", "seen date started at 15/06/2030."},
        {"ends at once with 0, at a time", script, "'%1'", false, "12:00:00", "2030-06-15 12:00",
         "seen date ran at 15/06/2030 12:00:00 and ended at once, with status 0."},
        {"ends at once with 3", script, "\"%1\" 3", false, "", "2030-06-15 ", "seen date ended at once with status 3."},
        {"missing interpreter", noInterpreter, "", false, "", "", "badshebang.sh could not start: /nonexistent/interp: "
                                                                "no such interpreter"},
        {"exec format error", data, "", false, "", "", "data.bin could not start: not a program this system can run "
                                                     "(Exec format error)"},
        // Single quotes hold the double ones; the error line comes along.
        {"quoting error", QStringLiteral("sh"), "-c 'echo \"unterminated'", false, "", "",
         "sh ended at once with status 2.\nsh: 1: Syntax error: Unterminated quoted string"},
        {"single quotes", QStringLiteral("sh"), "-c 'printf \"%s|\" \"$@\" >\"$0\"' '%1' 'two words' \"it's\"", false,
         "", "two words|it's|", "sh ran at 15/06/2030 and ended at once, with status 0."},
        {"a terminal program", QStringLiteral("date"), "+%F", false, "", "",
         "date ran at 15/06/2030 and ended at once, with status 0. It has no terminal to show its output in: its "
         "output went to " + output + ".", "2030-06-15\n"},
        {"no program", QString(), "", false, "", "", "Name the program to run"},
        {"static", QStringLiteral(RAVODOR_STATIC_PROBE), "", false, "", "",
         "is statically linked, so it cannot be shown a date of its own: use Set in the main window instead."},
        {"no such command", QStringLiteral("no-such-command-anywhere"), "", false, "", "",
         "no-such-command-anywhere: command not found"},
        {"launcher", script, "'%1'", true, "", "", "The applications menu now shows \"seen date "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString seen = dir.filePath(QStringLiteral("seen file"));
        QFile::remove(seen);
        QFile::remove(output);
        frmRunProgram dialog(nullptr, QStringLiteral("15/06/2030"),
                             DateText(QLocale(QLocale::English, QLocale::UnitedKingdom)));
        dialog.setRavodor(QStringLiteral(RAVODOR_PROGRAM));
        dialog.findChild<QLineEdit*>(QStringLiteral("txtProgram"))->setText(c.program);
        dialog.findChild<QLineEdit*>(QStringLiteral("txtArguments"))
            ->setText(QString::fromUtf8(c.arguments).replace(QLatin1String("%1"), seen));
        if (*c.time) {
            dialog.findChild<QCheckBox*>(QStringLiteral("chkTime"))->setChecked(true);
            dialog.findChild<QTimeEdit*>(QStringLiteral("timTime"))->setTime(QTime::fromString(QLatin1String(c.time)));
        }
        auto* message = dialog.findChild<QLabel*>(QStringLiteral("lblMessage"));
        {
            const OutputToFile redirected(output);
            dialog.findChild<QPushButton*>(QLatin1String(c.launcher ? "cmdLauncher" : "cmdRun"))->click();
            // Until the first moments have passed, or the program has ended.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !message->text().startsWith(QLatin1String("Starting")); }, 10000));
        }
        EXPECT_EQ(contents(output), c.out);
        EXPECT_TRUE(message->text().contains(c.said)) << message->text().toStdString();
        if (*c.seen) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return contents(seen).contains(c.seen[0] == '2' ? '\n' : '|'); }, 20000));
            EXPECT_TRUE(contents(seen).startsWith(c.seen)) << contents(seen).toStdString();
        } else {
            EXPECT_FALSE(QFile::exists(seen));
        }
        if (c.launcher) {
            ASSERT_EQ(launchers().size(), 1);
            EXPECT_TRUE(message->text().endsWith(launchers().first()));
        }
    }
    // The fake clock notes a set; none came.
    EXPECT_FALSE(contents(dir.filePath(QStringLiteral("clock.state"))).contains("set_count=")) << "clock set";
}

// Debian's x-terminal-emulator, a stand-in first on PATH that notes what it was asked to run.
TEST_F(RunProgramTest, OutputNoTerminalShowsIsOfferedToTheUsersTerminalEmulator)
{
    ScopedEnv preload("LD_PRELOAD", RAVODOR_FAKECLOCK_SO);
    ScopedEnv state("FAKECLOCK_STATE", dir.filePath(QStringLiteral("clock.state")).toLocal8Bit());
    const QString terminal = program(dir, "x-terminal-emulator", "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$0.seen\"\n");
    ScopedEnv path("PATH", dir.path().toLocal8Bit() + ':' + qgetenv("PATH"));
    const OutputToFile redirected(dir.filePath(QStringLiteral("output")));
    frmRunProgram dialog(nullptr, QStringLiteral("15/06/2030"),
                         DateText(QLocale(QLocale::English, QLocale::UnitedKingdom)));
    dialog.setRavodor(QStringLiteral(RAVODOR_PROGRAM));
    dialog.findChild<QLineEdit*>(QStringLiteral("txtProgram"))->setText(QStringLiteral("date"));
    auto* offer = dialog.findChild<QPushButton*>(QStringLiteral("cmdTerminal"));
    EXPECT_FALSE(offer->isVisibleTo(&dialog));
    dialog.findChild<QPushButton*>(QStringLiteral("cmdRun"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return offer->isVisibleTo(&dialog); }, 10000));
    offer->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(terminal + ".seen"); }, 10000));
    QTest::qWait(100);
    const QList<QByteArray> seen = contents(terminal + ".seen").split('\n');
    ASSERT_GT(seen.size(), 10);
    EXPECT_EQ(seen.mid(0, 3), (QList<QByteArray>{"-e", "sh", "-c"}));
    EXPECT_EQ(seen.mid(4), (QList<QByteArray>{"sh", RAVODOR_PROGRAM, "--at", "2030-06-15", "--only", "--", "date", ""}));
}

TEST_F(RunProgramTest, TheArgumentsSplitAsTheShellSplitsAndShowHowWhereThatDiffersFromWhatMeetsTheEye)
{
    const struct {
        const char* typed;
        const char* shown;  // "" when hidden
    } cases[] = {
        {"-l  /tmp", ""},
        {"-c 'xmessage \"hi there\"'", "Handed over as 2 arguments: \u2039-c\u203a \u2039xmessage \"hi there\"\u203a"},
        {"a\\ b \"c\\\"d\" 'e\\f'", "Handed over as 3 arguments: \u2039a b\u203a \u2039c\"d\u203a \u2039e\\f\u203a"},
        {"'open", "A single quote in the arguments is not closed."},
    };
    frmRunProgram dialog(nullptr, QStringLiteral("15/06/2030"),
                         DateText(QLocale(QLocale::English, QLocale::UnitedKingdom)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        dialog.findChild<QLineEdit*>(QStringLiteral("txtArguments"))->setText(QString::fromUtf8(c.typed));
        const QLabel* split = dialog.findChild<QLabel*>(QStringLiteral("lblSplit"));
        EXPECT_EQ(split->isVisibleTo(&dialog), *c.shown != '\0');
        if (*c.shown) {
            EXPECT_EQ(split->text(), QString::fromUtf8(c.shown));
        }
    }
}

TEST_F(RunProgramTest, TheLauncherQuotesAsDesktopsReadHasANameOfItsOwnAndTakesTheProgramsIconAndCategories)
{
    // One desktop entry of the system's starts the program with an icon.
    const QString app = dir.filePath(QStringLiteral("bin/fakeapp"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("share/applications/vendor"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
    QFile program(app);
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.close();
    QFile entry(dir.filePath(QStringLiteral("share/applications/vendor/fake.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Fake App\nExec=\"" + app.toUtf8()
                + "\" %U\nIcon=fake-icon\nCategories=Game;ArcadeGame;\n");
    entry.close();
    ScopedEnv dataDirs("XDG_DATA_DIRS", dir.filePath(QStringLiteral("share")).toLocal8Bit());

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const std::string longName(300, 'x');
    const struct {
        std::vector<std::string> command;
        const char* date;
        QString name;       // "" when refused
        QByteArray exec;    // after "/usr/bin/ravodor --at DATE --only -- "
        QByteArray icon;
        QByteArray categories;
        QString file;       // or the refusal
    } cases[] = {
        {{"printf", "two words", "tab\there"}, "2030-06-15", "printf two words tab here at 15/06/2030",
         "printf \"two words\" \"tab\\there\"", "ravodor", "Utility;",
         "org.example.ravodor.at-2030-06-15-printf-1.desktop"},
        {{"printf", "say \"hi\", it's", "$HOME", "100%", "a\\b"}, "2030-06-15",
         "printf say \"hi\", it's $HOME 10\u2026 at 15/06/2030",
         "printf \"say \\\\\"hi\\\\\", it's\" \"\\\\$HOME\" 100%% \"a\\\\\\\\b\"",
         "ravodor", "Utility;", "org.example.ravodor.at-2030-06-15-printf-2.desktop"},
        // The same again: a Name of its own all the same.
        {{"printf", "two words", "tab\there"}, "2030-06-15", "printf two words tab here at 15/06/2030 (2)",
         "printf \"two words\" \"tab\\there\"", "ravodor", "Utility;",
         "org.example.ravodor.at-2030-06-15-printf-3.desktop"},
        {{app.toStdString()}, "2030-06-15T23:59:50", "Fake App at 15/06/2030 23:59:50", app.toUtf8(), "fake-icon",
         "Game;ArcadeGame;", "org.example.ravodor.at-2030-06-15T23_59_50-fakeapp-1.desktop"},
        {{"/bin/" + longName}, "2030-06-15", QString::fromStdString(longName) + " at 15/06/2030",
         QByteArray("/bin/") + longName.c_str(), "ravodor", "Utility;",
         "org.example.ravodor.at-2030-06-15-" + QString(64, QLatin1Char('x')) + "-1.desktop"},
        {{"printf", "caf\351"}, "2030-06-15", {}, {}, {}, {},
         "Argument 1 is not UTF-8 text, which a launcher cannot hold"},
        {{"printf", "a\033b"}, "2030-06-15", {}, {}, {}, {}, "Argument 1 holds a control character, which a launcher"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QString why;
        const LauncherMade made =
            writeLauncher({QStringLiteral("/usr/bin/ravodor"), QLatin1String(c.date), c.command,
                           QLocale(QLocale::English, QLocale::UnitedKingdom)}, &why);
        if (c.name.isEmpty()) {
            EXPECT_TRUE(made.path.isEmpty());
            EXPECT_TRUE(why.startsWith(c.file)) << why.toStdString();
            continue;
        }
        ASSERT_FALSE(made.path.isEmpty()) << why.toStdString();
        EXPECT_EQ(QFileInfo(made.path).fileName(), c.file);
        EXPECT_EQ(made.name, c.name);
        const QList<QByteArray> lines = contents(made.path).split('\n');
        EXPECT_TRUE(lines.contains("Name=" + c.name.toUtf8()));
        EXPECT_TRUE(lines.contains("Exec=/usr/bin/ravodor --at " + QByteArray(c.date) + " --only -- " + c.exec))
            << contents(made.path).toStdString();
        EXPECT_TRUE(lines.contains("Icon=" + c.icon));
        EXPECT_TRUE(lines.contains("Categories=" + c.categories));
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {made.path});
            ASSERT_TRUE(validate.waitForFinished(10000));
            EXPECT_EQ(validate.exitCode(), 0);
            EXPECT_EQ(validate.readAll(), "");
        }
    }
    // The first of the same name is still there as it was.
    const QString first = folders.dataHome() + "/applications/org.example.ravodor.at-2030-06-15-printf-1.desktop";
    EXPECT_TRUE(contents(first).contains("two words"));
}

// A desktop's own launcher (gio launch) hands the program exactly what was given.
TEST_F(RunProgramTest, ALauncherStartedByTheDesktopHandsOverTheArgumentsByteForByte)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "needs gio (libglib2.0-bin)";
    // Plays Ravodor: notes its arguments, each ended by a NUL.
    const QString seen = dir.filePath(QStringLiteral("arguments"));
    const QString ravodor = program(dir, "ravodor", "#!/bin/sh\nprintf '%s\\0' \"$@\" >\"$0.seen\"\n");
    const std::vector<std::string> command{
        "printf", "caf\303\251 \342\202\254", "say \"hi\", it's", "$HOME `x` ~ * ? #", "100%", "a\\b\\\\c", "tab\there",
        "line\nbreak", ""};
    QString why;
    const LauncherMade made = writeLauncher({ravodor, QStringLiteral("2030-06-15"), command}, &why);
    ASSERT_FALSE(made.path.isEmpty()) << why.toStdString();
    QProcess launch;
    launch.start(gio, {QStringLiteral("launch"), made.path});
    ASSERT_TRUE(launch.waitForFinished(10000));
    EXPECT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ravodor + ".seen"); }, 10000));
    QTest::qWait(100);
    std::string expected;
    for (const std::string& argument : std::vector<std::string>{"--at", "2030-06-15", "--only", "--"})
        expected += argument + '\0';
    for (const std::string& argument : command)
        expected += argument + '\0';
    EXPECT_EQ(contents(ravodor + ".seen").toStdString(), expected);
}

}  // namespace
