// Opening a web address on Windows: a recorder stands in for ShellExecuteA,
// so no browser starts and every argument can be seen.

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "shell.h"
#include "shell_win_hook.h"

namespace {

struct Call {
    HWND owner;
    std::optional<std::string> verb;
    std::optional<std::string> file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    INT show;
};

std::optional<Call> recorded;
INT_PTR answer = 42;

std::optional<std::string> textOf(LPCSTR text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}

HINSTANCE WINAPI recordCall(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show)
{
    recorded = Call{owner, textOf(verb), textOf(file), textOf(parameters), textOf(directory), show};
    return reinterpret_cast<HINSTANCE>(answer);
}

class WindowsShellTest : public ::testing::Test {
protected:
    decltype(shellExecuteA) saved = shellExecuteA;

    WindowsShellTest()
    {
        recorded.reset();
        answer = 42;
        shellExecuteA = &recordCall;
    }
    ~WindowsShellTest() override { shellExecuteA = saved; }
};

TEST_F(WindowsShellTest, AddressGoesToTheShellsDefaultActionWithOwnerAndFolder)
{
    const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    EXPECT_TRUE(OpenWithShell(owner, "http://www.example.com/ravodor/"));

    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->owner, owner);
    EXPECT_EQ(recorded->verb, std::nullopt);
    EXPECT_EQ(recorded->file, "http://www.example.com/ravodor/");
    EXPECT_EQ(recorded->parameters, std::nullopt);
    EXPECT_EQ(recorded->directory, "c:\\");
    EXPECT_EQ(recorded->show, SW_SHOWNORMAL);
}

TEST_F(WindowsShellTest, NoOwnerWindowIsPassedOnAsNone)
{
    EXPECT_TRUE(OpenWithShell(nullptr, "http://www.example.com/"));
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->owner, nullptr);
}

TEST_F(WindowsShellTest, ResultsUpTo32AreFailures)
{
    // 0 out of memory, 2 file not found, 31 no association, 32 the last error code.
    for (INT_PTR failure : {0, 2, 5, 31, 32}) {
        answer = failure;
        EXPECT_FALSE(OpenWithShell(nullptr, "http://www.example.com/")) << failure;
    }
    answer = 33;
    EXPECT_TRUE(OpenWithShell(nullptr, "http://www.example.com/"));
}

}  // namespace
