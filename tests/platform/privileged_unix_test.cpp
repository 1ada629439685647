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
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "HOME",
                             "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "LANG", "LC_TIME", "LANGUAGE", "TZ"})
        EXPECT_TRUE(keptWithRaisedRights(name)) << name;
    for (const char* name : {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QML2_IMPORT_PATH", "GTK_MODULES",
                             "GTK3_MODULES", "GTK_PATH", "GIO_EXTRA_MODULES", "GDK_PIXBUF_MODULE_FILE",
                             "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "DBUS_SYSTEM_BUS_ADDRESS", "LD_LIBRARY_PATH",
                             "PATH", "LC_", "DISPLAYX", ""})
        EXPECT_FALSE(keptWithRaisedRights(name)) << name;
}

}  // namespace

namespace {

// Run as a copy of this program that carries a harmless file capability.
TEST(Privileged, AFileCapabilityStartIsRaised)
{
    if (std::getenv("RAVODOR_EXPECT_RAISED")) {
        EXPECT_TRUE(startedWithRaisedRights());
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
    const int status = std::system(("RAVODOR_EXPECT_RAISED=1 setpriv --reuid=65534 --regid=65534 --clear-groups " + copy +
                                    " --gtest_filter=Privileged.AFileCapabilityStartIsRaised >/dev/null")
                                       .c_str());
    std::system(("rm -rf " + std::string(folder)).c_str());
    EXPECT_EQ(status, 0);
}

}  // namespace
