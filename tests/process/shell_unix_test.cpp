// Opening a web address on Linux: a fake xdg-open first on PATH records the
// arguments it was given.

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "shell.h"
#include "unixtestutil.h"

namespace {

using namespace std::chrono_literals;
using unixtest::ScopedEnv;
using unixtest::TempFolder;

// Polls for a file that another process writes, up to a few seconds.
std::optional<std::string> awaitFile(const std::string& path)
{
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        if (auto bytes = unixtest::FileBytes(path))
            return bytes;
    }
    return std::nullopt;
}

std::vector<std::string> splitAtNul(const std::string& bytes)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\0', start);
        parts.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

class ShellTest : public ::testing::Test {
protected:
    TempFolder bin;
    TempFolder out;
    std::string argsFile = out.path() + "/args";
    std::string pidFile = out.path() + "/pid";
    ScopedEnv path{"PATH", bin.path() + ":" + std::getenv("PATH")};
    ScopedEnv target{"FAKE_XDG_OPEN_OUT", out.path()};

    // Writes its pid, then every argument NUL-terminated: once the arguments
    // appear, whole, all is written. Then it goes on running as `tail`.
    void installFakeXdgOpen(const std::string& tail = "exit 0")
    {
        const std::string script = bin.path() + "/xdg-open";
        unixtest::WriteFile(script,
                            "#!/bin/sh\n"
                            "echo $$ > \"$FAKE_XDG_OPEN_OUT/pid\"\n"
                            "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$FAKE_XDG_OPEN_OUT/args.tmp\"\n"
                            "mv \"$FAKE_XDG_OPEN_OUT/args.tmp\" \"$FAKE_XDG_OPEN_OUT/args\"\n" +
                                tail + "\n");
        chmod(script.c_str(), 0755);
    }

    // Whether the process is gone for good, reaped rather than a zombie.
    static bool awaitGone(pid_t pid)
    {
        for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(10ms)) {
            if (kill(pid, 0) != 0 && errno == ESRCH)
                return true;
        }
        return false;
    }
};

TEST_F(ShellTest, AddressArrivesAsOneUntouchedArgument)
{
    installFakeXdgOpen();
    const std::string addresses[] = {
        "https://www.zaduziro.example/ravodor/",
        "http://example.com/a b  c?q='quoted' \"double\";echo injected;$(touch pwned)`id`&x=1|cat>f",
        "http://example.com/\xC3\xBCmlaut\t\n*?[]~",
    };
    for (const std::string& address : addresses) {
        std::remove(argsFile.c_str());
        ASSERT_TRUE(OpenWithShell(nullptr, address)) << address;
        auto args = awaitFile(argsFile);
        ASSERT_TRUE(args) << "xdg-open did not run for " << address;
        EXPECT_EQ(splitAtNul(*args), std::vector<std::string>{address});
    }
    EXPECT_EQ(unixtest::Tree(out.path()), (std::set<std::string>{"args", "pid"}));
}

TEST_F(ShellTest, ReturnsWithoutWaitingAndLeavesNoZombie)
{
    installFakeXdgOpen("exec sleep 30");

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(OpenWithShell(nullptr, "https://example.com/"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    ASSERT_TRUE(awaitFile(argsFile));
    auto pidText = unixtest::FileBytes(pidFile);
    ASSERT_TRUE(pidText);
    const pid_t pid = std::stoi(*pidText);
    ASSERT_GT(pid, 1);
    ASSERT_EQ(kill(pid, 0), 0) << "still running as `sleep`";
    kill(pid, SIGTERM);
    EXPECT_TRUE(awaitGone(pid)) << "ended but never reaped";
}

TEST_F(ShellTest, AddressThatLooksLikeAnOptionOrIsEmptyIsRefused)
{
    installFakeXdgOpen();

    for (const std::string& address : {std::string("-"), std::string("--help"), std::string("-x http://a/"),
                                       std::string(), std::string("http://a/\0--help", 16)})
        EXPECT_FALSE(OpenWithShell(nullptr, address)) << address;

    // Something it does start, to be sure no refused address got through before it.
    ASSERT_TRUE(OpenWithShell(nullptr, "http://after/"));
    auto args = awaitFile(argsFile);
    ASSERT_TRUE(args);
    EXPECT_EQ(splitAtNul(*args), std::vector<std::string>{"http://after/"});
}

TEST_F(ShellTest, MissingXdgOpenIsAFailure)
{
    ScopedEnv onlyEmptyFolder("PATH", bin.path());
    EXPECT_FALSE(OpenWithShell(nullptr, "https://example.com/"));
}

TEST_F(ShellTest, XdgOpenThatCannotBeRunIsAFailure)
{
    unixtest::WriteFile(bin.path() + "/xdg-open", "#!/bin/sh\nexit 0\n");
    chmod((bin.path() + "/xdg-open").c_str(), 0644);
    ScopedEnv onlyThisFolder("PATH", bin.path());

    EXPECT_FALSE(OpenWithShell(nullptr, "https://example.com/"));
}

}  // namespace
