// The environment a program with raised rights must not trust.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "privileged.h"

namespace {

TEST(Privileged, AnOrdinaryStartIsNotRaisedAndQtSeesEveryArgument)
{
    EXPECT_FALSE(startedWithRaisedRights());
    int argc = 2;
    char name[] = "ravodor", option[] = "-style";
    char* argv[] = {name, option, nullptr};
    EXPECT_EQ(argumentsForToolkit(&argc, argv), argv);
    EXPECT_EQ(argc, 2);
}

TEST(Privileged, OnlyWhatADesktopProgramNeedsIsKept)
{
    const struct {
        const char* name;
        bool kept;
    } cases[] = {
        {"DISPLAY", true}, {"WAYLAND_DISPLAY", true}, {"XAUTHORITY", true}, {"DBUS_SESSION_BUS_ADDRESS", true},
        {"HOME", true}, {"XDG_RUNTIME_DIR", true}, {"XDG_CONFIG_HOME", true}, {"XDG_DATA_HOME", true},
        {"LANG", true}, {"LC_TIME", true}, {"LANGUAGE", true}, {"TZ", true},
        {"QT_PLUGIN_PATH", false}, {"QT_QPA_PLATFORM_PLUGIN_PATH", false}, {"QML2_IMPORT_PATH", false},
        {"GTK_MODULES", false}, {"GTK3_MODULES", false}, {"GTK_PATH", false}, {"GIO_EXTRA_MODULES", false},
        {"GDK_PIXBUF_MODULE_FILE", false}, {"XDG_CURRENT_DESKTOP", false}, {"DESKTOP_SESSION", false},
        {"DBUS_SYSTEM_BUS_ADDRESS", false}, {"LD_LIBRARY_PATH", false}, {"PATH", false}, {"LC_", false},
        {"DISPLAYX", false}, {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keptWithRaisedRights(c.name), c.kept) << c.name;
}

}  // namespace

namespace {

// Run as a copy of this program that carries a harmless file capability:
// Qt's options and the module variables are gone there.
TEST(Privileged, AFileCapabilityStartIsRaised)
{
    if (std::getenv("RAVODOR_EXPECT_RAISED")) {
        EXPECT_TRUE(startedWithRaisedRights());
        int argc = 3;
        char name[] = "ravodor", option[] = "-platformpluginpath", folder[] = "/tmp";
        char* argv[] = {name, option, folder, nullptr};
        char** toolkit = argumentsForToolkit(&argc, argv);
        EXPECT_EQ(argc, 1);
        EXPECT_STREQ(toolkit[0], "ravodor");
        EXPECT_EQ(toolkit[1], nullptr);
        dropUntrustedEnvironment();
        EXPECT_EQ(std::getenv("GTK3_MODULES"), nullptr);
        EXPECT_EQ(std::getenv("QT_PLUGIN_PATH"), nullptr);
        EXPECT_EQ(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"), nullptr);
        EXPECT_STREQ(std::getenv("DISPLAY"), ":9");
        return;
    }
    if (::geteuid() != 0 || std::system("command -v setcap >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and setcap to give a copy of the test a file capability";
    char folder[] = "/tmp/ravodor-raised-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string copy = std::string(folder) + "/platform_tests";
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/exe";
    ASSERT_EQ(std::system(("chmod 755 " + std::string(folder) + " && cp " + self + " " + copy +
                           " && setcap cap_net_bind_service+ep " + copy).c_str()),
              0);
    // Root has every right already; an ordinary user gains one from the file.
    const std::string environment = "RAVODOR_EXPECT_RAISED=1 GTK3_MODULES=/tmp/m.so QT_PLUGIN_PATH=/tmp "
                                    "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/tmp/bus DISPLAY=:9 ";
    const int status = std::system((environment + "setpriv --reuid=65534 --regid=65534 --clear-groups " + copy
                                    + " --gtest_filter=Privileged.AFileCapabilityStartIsRaised >/dev/null")
                                       .c_str());
    std::system(("rm -rf " + std::string(folder)).c_str());
    EXPECT_EQ(status, 0);
}

}  // namespace
