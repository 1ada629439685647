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

TEST_F(RunProgramTest, TheDialogRunsTheProgramAtItsDateOrSaysWhyNot)
{
    // Whatever the program started does, the clock is the fake one.
    ScopedEnv preload("LD_PRELOAD", RAVODOR_FAKECLOCK_SO);
    ScopedEnv state("FAKECLOCK_STATE", dir.filePath(QStringLiteral("clock.state")).toLocal8Bit());
    const QString script = dir.filePath(QStringLiteral("seen date"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\ndate '+%F %H:%M' >\"$1\"\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::ExeOwner));

    const struct {
        const char* name;
        QString program;
        bool launcher;     // Make a launcher, else Run
        const char* time;  // of day, "" for none
        const char* seen;  // what the program writes; "" when it does not run
        const char* said;  // in the dialog's words
    } cases[] = {
        {"run", script, false, "", "2030-06-15 ", "seen date started at 2030-06-15."},
        {"run at a time", script, false, "12:00:00", "2030-06-15 12:00", "started at 2030-06-15T12:00:00."},
        {"no program", QString(), false, "", "", "Name the program to run"},
        {"static", QStringLiteral(RAVODOR_STATIC_PROBE), false, "", "", "is statically linked"},
        {"no such command", QStringLiteral("no-such-command-anywhere"), false, "", "", "command not found"},
        {"launcher", script, true, "", "", "Launcher made: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString seen = dir.filePath(QStringLiteral("seen file"));
        QFile::remove(seen);
        frmRunProgram dialog(nullptr, QStringLiteral("15/06/2030"),
                             DateText(QLocale(QLocale::English, QLocale::UnitedKingdom)));
        dialog.setRavodor(QStringLiteral(RAVODOR_PROGRAM));
        dialog.findChild<QLineEdit*>(QStringLiteral("txtProgram"))->setText(c.program);
        dialog.findChild<QLineEdit*>(QStringLiteral("txtArguments"))
            ->setText(QLatin1Char('"') + seen + QLatin1Char('"'));
        if (*c.time) {
            dialog.findChild<QCheckBox*>(QStringLiteral("chkTime"))->setChecked(true);
            dialog.findChild<QTimeEdit*>(QStringLiteral("timTime"))->setTime(QTime::fromString(QLatin1String(c.time)));
        }
        dialog.findChild<QPushButton*>(QLatin1String(c.launcher ? "cmdLauncher" : "cmdRun"))->click();

        const QString said = dialog.findChild<QLabel*>(QStringLiteral("lblMessage"))->text();
        EXPECT_TRUE(said.contains(QLatin1String(c.said))) << said.toStdString();
        if (*c.seen) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return contents(seen).contains('\n'); }, 20000));
            EXPECT_TRUE(contents(seen).startsWith(c.seen)) << contents(seen).toStdString();
        } else {
            QTest::qWait(c.launcher ? 0 : 500);
            EXPECT_FALSE(QFile::exists(seen));
        }
        if (c.launcher) {
            ASSERT_EQ(launchers().size(), 1);
            EXPECT_TRUE(said.endsWith(launchers().first()));
        }
    }
    // The fake clock notes a set; none came.
    EXPECT_FALSE(contents(dir.filePath(QStringLiteral("clock.state"))).contains("set_count=")) << "clock set";
}

TEST_F(RunProgramTest, TheLauncherQuotesAsDesktopsReadAndTakesTheProgramsOwnIcon)
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
    entry.write("[Desktop Entry]\nType=Application\nName=Fake\nExec=\"" + app.toUtf8() + "\" %U\nIcon=fake-icon\n");
    entry.close();
    ScopedEnv dataDirs("XDG_DATA_DIRS", dir.filePath(QStringLiteral("share")).toLocal8Bit());

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const struct {
        QStringList command;
        const char* name;
        QByteArray exec;  // after "/usr/bin/ravodor --at 2030-06-15 --only -- "
        QByteArray icon;
        const char* file;
    } cases[] = {
        {{"printf", "two words", "tab\there"}, "printf at 2030-06-15", "printf \"two words\" \"tab\\there\"", "ravodor",
         "org.example.ravodor.at-2030-06-15-printf-1.desktop"},
        {{"printf", "say \"hi\", it's", "$HOME", "100%", "a\\b"}, "printf at 2030-06-15",
         "printf \"say \\\\\"hi\\\\\", it's\" \"\\\\$HOME\" 100%% \"a\\\\\\\\b\"", "ravodor",
         "org.example.ravodor.at-2030-06-15-printf-2.desktop"},
        {{app}, "fakeapp at 2030-06-15", app.toUtf8(), "fake-icon",
         "org.example.ravodor.at-2030-06-15-fakeapp-1.desktop"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString why;
        const QString path =
            writeLauncher({QStringLiteral("/usr/bin/ravodor"), QStringLiteral("2030-06-15"), c.command}, &why);
        ASSERT_FALSE(path.isEmpty()) << why.toStdString();
        EXPECT_EQ(QFileInfo(path).fileName(), QLatin1String(c.file));
        const QList<QByteArray> lines = contents(path).split('\n');
        EXPECT_TRUE(lines.contains("Name=" + QByteArray(c.name)));
        EXPECT_TRUE(lines.contains("Exec=/usr/bin/ravodor --at 2030-06-15 --only -- " + c.exec))
            << contents(path).toStdString();
        EXPECT_TRUE(lines.contains("Icon=" + c.icon));
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {path});
            ASSERT_TRUE(validate.waitForFinished(10000));
            EXPECT_EQ(validate.exitCode(), 0);
            EXPECT_EQ(validate.readAll(), "");
        }
    }
    // The first of the same name is still there as it was.
    const QString first = folders.dataHome() + "/applications/org.example.ravodor.at-2030-06-15-printf-1.desktop";
    EXPECT_TRUE(contents(first).contains("two words"));
}

}  // namespace
