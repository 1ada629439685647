// The guard on Windows, under Wine too: it waits on the program's handle,
// and once the program has gone it tries to put the real date back from the
// record. Wine refuses to set the clock, so there the record stays for the
// next start.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "clock.h"
#include "processinfo.h"
#include "restorerecord.h"

namespace {

constexpr int kNothingToDo = 0;
constexpr int kRecordLeft = 4;

// Detached: no console host that would keep ctest's pipe open.
HANDLE start(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                               nullptr, &startup, &info))
        << commandLine << ": " << GetLastError();
    if (info.hThread)
        CloseHandle(info.hThread);
    return info.hProcess;
}

class GuardWinTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (HANDLE process : {program_, guard_}) {
            if (process) {
                TerminateProcess(process, 1);
                CloseHandle(process);
            }
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
    }

    // A record of the running program_, ten days behind: the guard must try to set the clock.
    RestoreRecord record() const
    {
        const auto clock = makeSystemClock();
        RestoreRecord record;
        record.anchorWallNs = clock->nowNs() - 10 * kNsPerDay;
        record.anchorBootNs = clock->bootNs();
        record.bootId = currentBootId();
        record.inEffect = {2031, 3, 15};
        record.pid = GetProcessId(program_);
        record.pidStart = processStartTime(record.pid);
        return record;
    }

    // The guard's exit status once it has ended; -1 when it runs on.
    int guardStatus(DWORD waitMs)
    {
        DWORD code = 0;
        if (WaitForSingleObject(guard_, waitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(guard_, &code))
            return -1;
        return static_cast<int>(code);
    }

    const std::string name_ = "ravodor-guardtest-" + std::to_string(GetCurrentProcessId());
    const std::string key_ = "Software\\Zaduziro\\" + name_;
    RecordStore store_{key_};
    HANDLE program_ = start("\"" RAVODOR_GUARD_SLEEPER "\"");
    HANDLE guard_ = nullptr;
};

TEST_F(GuardWinTest, WaitsForTheProgramThenTriesToPutTheDateBackAndKeepsTheRecordWhenRefused)
{
    const RestoreRecord left = record();
    ASSERT_NE(left.pidStart, 0U);
    ASSERT_FALSE(store_.write(left));
    guard_ = start("\"" RAVODOR_GUARD "\" " + name_ + " " + std::to_string(left.pid) + " "
                   + std::to_string(left.pidStart));

    EXPECT_EQ(guardStatus(500), -1) << "the guard must wait while the program runs";
    TerminateProcess(program_, 9);
    // Wine refuses SetSystemTime: the attempt fails and the next start gets the record.
    EXPECT_EQ(guardStatus(20000), kRecordLeft);
    EXPECT_TRUE(store_.exists());
    EXPECT_EQ(processStartTime(left.pid), 0U);
}

TEST_F(GuardWinTest, ARecordOfAnotherProgramIsLeftAlone)
{
    RestoreRecord other = record();
    other.pid += 4;
    ASSERT_FALSE(store_.write(other));
    const RestoreRecord own = record();
    guard_ = start("\"" RAVODOR_GUARD "\" " + name_ + " " + std::to_string(own.pid) + " "
                   + std::to_string(own.pidStart));
    TerminateProcess(program_, 9);
    EXPECT_EQ(guardStatus(20000), kNothingToDo);
    EXPECT_TRUE(store_.exists());
}

}  // namespace
