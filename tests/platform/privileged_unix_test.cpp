// The environment a program with raised rights must not trust.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "privileged.h"

namespace {

TEST(Privileged, AnOrdinaryStartIsNotRaised)
{
    EXPECT_FALSE(startedWithRaisedRights());
}

TEST(Privileged, PluginSettingsAreDroppedAndTheRestKept)
{
    ::setenv("QT_PLUGIN_PATH", "/tmp/evil", 1);
    ::setenv("QT_QPA_PLATFORM_PLUGIN_PATH", "/tmp/evil", 1);
    ::setenv("QML2_IMPORT_PATH", "/tmp/evil", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/config", 1);
    dropUntrustedEnvironment();
    EXPECT_EQ(std::getenv("QT_PLUGIN_PATH"), nullptr);
    EXPECT_EQ(std::getenv("QT_QPA_PLATFORM_PLUGIN_PATH"), nullptr);
    EXPECT_EQ(std::getenv("QML2_IMPORT_PATH"), nullptr);
    ASSERT_NE(std::getenv("XDG_CONFIG_HOME"), nullptr);
    EXPECT_STREQ(std::getenv("XDG_CONFIG_HOME"), "/tmp/config");
    ::unsetenv("XDG_CONFIG_HOME");
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
