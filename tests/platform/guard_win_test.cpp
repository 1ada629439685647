// The guard on Windows, under Wine too: it waits on the program's handle,
// and once the program has gone it tries to put the real date back from the
// record. Wine refuses to set the clock, so there the record stays for the
// next start.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "processinfo.h"
#include "restorerecord.h"

namespace {

constexpr int kNothingToDo = 0;
constexpr int kRecordLeft = 4;
constexpr std::int64_t kNsPerDay = 86400LL * 1000000000LL;

PROCESS_INFORMATION start(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                               nullptr, &startup, &info))
        << commandLine << ": " << GetLastError();
    if (info.hThread)
        CloseHandle(info.hThread);
    return info;
}

std::int64_t wallNs()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::int64_t ticks = (std::int64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000LL) * 100;
}

class GuardWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = start("\"" RAVODOR_GUARD_SLEEPER "\"");
        ASSERT_NE(program_.hProcess, nullptr);
    }
    void TearDown() override
    {
        for (HANDLE process : {program_.hProcess, guard_.hProcess}) {
            if (process) {
                TerminateProcess(process, 1);
                CloseHandle(process);
            }
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, key().c_str());
    }

    std::string name() const { return "ravodor-guardtest-" + std::to_string(GetCurrentProcessId()); }
    std::string key() const { return "Software\\Zaduziro\\" + name(); }

    RestoreRecord record() const
    {
        RestoreRecord record;
        // Ten days ago as the real date: the guard must try to set the clock.
        record.anchorWallNs = wallNs() - 10 * kNsPerDay;
        record.anchorBootNs = static_cast<std::int64_t>(GetTickCount64()) * 1000000;
        record.bootId = currentBootId();
        record.inEffect = {2031, 3, 15};
        record.pid = program_.dwProcessId;
        record.pidStart = processStartTime(record.pid);
        return record;
    }

    void startGuard(const RestoreRecord& forRecord)
    {
        guard_ = start("\"" RAVODOR_GUARD "\" " + name() + " " + std::to_string(forRecord.pid) + " "
                       + std::to_string(forRecord.pidStart));
    }

    // The guard's exit status once it has ended; -1 when it runs on.
    int guardStatus(DWORD waitMs)
    {
        if (WaitForSingleObject(guard_.hProcess, waitMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(guard_.hProcess, &code);
        return static_cast<int>(code);
    }

    PROCESS_INFORMATION program_{};
    PROCESS_INFORMATION guard_{};
};

TEST(ProcessInfoWin, TellsARunningProcessFromAnEndedOne)
{
    EXPECT_EQ(currentProcessId(), static_cast<std::int64_t>(GetCurrentProcessId()));
    EXPECT_NE(processStartTime(currentProcessId()), 0U);
    EXPECT_EQ(processStartTime(0), 0U);
}

TEST_F(GuardWinTest, WaitsForTheProgramThenTriesToPutTheDateBackAndKeepsTheRecordWhenRefused)
{
    RecordStore store(key());
    const RestoreRecord left = record();
    ASSERT_NE(left.pidStart, 0U);
    ASSERT_FALSE(store.write(left));
    startGuard(left);

    EXPECT_EQ(guardStatus(500), -1) << "the guard must wait while the program runs";
    TerminateProcess(program_.hProcess, 9);
    // Wine refuses SetSystemTime: the attempt fails and the next start gets the record.
    EXPECT_EQ(guardStatus(20000), kRecordLeft);
    EXPECT_TRUE(store.exists());
    EXPECT_EQ(processStartTime(left.pid), 0U);
}

TEST_F(GuardWinTest, ARecordOfAnotherProgramIsLeftAlone)
{
    RecordStore store(key());
    RestoreRecord other = record();
    other.pid += 4;
    ASSERT_FALSE(store.write(other));
    startGuard(record());
    TerminateProcess(program_.hProcess, 9);
    EXPECT_EQ(guardStatus(20000), kNothingToDo);
    EXPECT_TRUE(store.exists());
}

}  // namespace
