// Started with a file capability, the program loads nothing its caller
// chooses, through Qt's options or the environment. Without the capability
// the same starts show the doors exist, so a door left open would be seen.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(SecureStart, QtPluginOptionsAndModuleVariablesLoadNothingWithRaisedRights)
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setcap")).isEmpty())
        GTEST_SKIP() << "needs root and setcap to give a copy of the program a file capability";
    const struct {
        const char* door;
        QStringList arguments;  // PLUGINS: the plugin's folder
        QStringList environment;
    } doors[] = {
        {"Qt's options", {"-platformpluginpath", "PLUGINS", "-platform", "announce"}, {}},
        {"Qt's variables", {}, {"QT_QPA_PLATFORM_PLUGIN_PATH=PLUGINS", "QT_QPA_PLATFORM=announce"}},
    };
    for (const auto& door : doors) {
        for (bool raised : {false, true}) {
            SCOPED_TRACE(std::string(door.door) + (raised ? ", raised" : ", ordinary"));
            QTemporaryDir dir;
            const QString copy = dir.filePath(QStringLiteral("ravodor"));
            const QString plugins = dir.filePath(QStringLiteral("plugins"));
            // The copy runs as nobody: it must read the copy and write where the plugin announces.
            const QString setup = QStringLiteral("chmod 755 '%1' && cp '%2' '%3' && mkdir -m 777 '%4' && cp '%5' '%4/'")
                + (raised ? QStringLiteral(" && setcap cap_net_bind_service+ep '%3'") : QString());
            ASSERT_EQ(QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
                          setup.arg(dir.path(), QStringLiteral(RAVODOR_PROGRAM), copy, plugins,
                                    QStringLiteral(RAVODOR_ANNOUNCE_PLUGIN))}), 0);

            QStringList environment = QStringList{QStringLiteral("PATH=/usr/bin:/bin"), QStringLiteral("XDG_CURRENT_DESKTOP=GNOME"),
                                                  QStringLiteral("GTK3_MODULES=PLUGINS/libannounce.so")} + door.environment;
            QStringList arguments = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                QStringLiteral("--clear-groups"), QStringLiteral("--bounding-set=-sys_time"),
                                                copy} + door.arguments;
            environment.replaceInStrings(QStringLiteral("PLUGINS"), plugins);
            arguments.replaceInStrings(QStringLiteral("PLUGINS"), plugins);

            // Without a display it ends: the plugin, loaded or not, is no platform Qt can use.
            QProcess program;
            program.setEnvironment(environment);
            program.start(QStringLiteral("setpriv"), arguments);
            EXPECT_TRUE(program.waitForFinished(20000)) << "the program did not end";
            EXPECT_EQ(QFile::exists(plugins + QStringLiteral("/announced")), !raised)
                << program.readAllStandardError().toStdString();
        }
    }
}

}  // namespace
