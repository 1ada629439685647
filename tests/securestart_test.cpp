// Started with a file capability, the program loads nothing its caller
// chooses: neither through Qt's command-line options nor through the
// environment. The same starts without the capability show that the doors
// exist, so the test would see one left open.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

bool run(const QString& command)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command}) == 0;
}

TEST(SecureStart, QtPluginOptionsAndModuleVariablesLoadNothingWithRaisedRights)
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setcap")).isEmpty())
        GTEST_SKIP() << "needs root and setcap to give a copy of the program a file capability";

    const struct {
        const char* door;
        QStringList arguments;
        QStringList environment;  // beside GTK3_MODULES and XDG_CURRENT_DESKTOP, always there
    } doors[] = {
        {"Qt's options", {"-platformpluginpath", "PLUGINS", "-platform", "announce"}, {}},
        {"Qt's variables", {}, {"QT_QPA_PLATFORM_PLUGIN_PATH=PLUGINS", "QT_QPA_PLATFORM=announce"}},
    };
    for (const auto& door : doors) {
        for (bool raised : {false, true}) {
            SCOPED_TRACE(std::string(door.door) + (raised ? ", raised" : ", ordinary"));
            QTemporaryDir dir;
            ASSERT_TRUE(dir.isValid());
            const QString copy = dir.filePath(QStringLiteral("ravodor"));
            const QString plugins = dir.filePath(QStringLiteral("plugins"));
            // Readable by the ordinary user the copy runs as; the plugin's folder
            // writable so that it can announce itself.
            ASSERT_TRUE(run(QStringLiteral("chmod 755 '%1' && cp '%2' '%3' && mkdir -m 777 '%4' && cp '%5' '%4/'")
                                .arg(dir.path(), QStringLiteral(RAVODOR_PROGRAM), copy, plugins,
                                     QStringLiteral(RAVODOR_ANNOUNCE_PLUGIN))));
            if (raised) {
                ASSERT_TRUE(run(QStringLiteral("setcap cap_net_bind_service+ep '%1'").arg(copy)));
            }

            QStringList environment = {QStringLiteral("PATH=/usr/bin:/bin"),
                                       QStringLiteral("GTK3_MODULES=") + plugins + QStringLiteral("/libannounce.so"),
                                       QStringLiteral("XDG_CURRENT_DESKTOP=GNOME")};
            for (const QString& entry : door.environment)
                environment << QString(entry).replace(QLatin1String("PLUGINS"), plugins);
            QStringList arguments = {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                     QStringLiteral("--clear-groups"), QStringLiteral("--bounding-set=-sys_time"), copy};
            for (const QString& argument : door.arguments)
                arguments << QString(argument).replace(QLatin1String("PLUGINS"), plugins);

            // Without a display the program cannot start its window: it ends
            // (the plugin, loaded or not, is no platform Qt can use).
            QProcess program;
            program.setEnvironment(environment);
            program.start(QStringLiteral("setpriv"), arguments);
            ASSERT_TRUE(program.waitForStarted(10000));
            if (!program.waitForFinished(20000)) {
                program.kill();
                program.waitForFinished(5000);
                ADD_FAILURE() << "the program did not end";
            }
            EXPECT_EQ(QFile::exists(plugins + QStringLiteral("/announced")), !raised)
                << program.readAllStandardError().toStdString();
        }
    }
}

}  // namespace
