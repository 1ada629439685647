// The Windows clock backend. The only date these tests ask for, where the set
// could succeed, is today's: that moves the clock by nothing but the moment
// the call takes. Other dates are asked for only under Wine, which refuses
// to move the clock at all.

#include <cstdint>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include "clock.h"

namespace {

bool underWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

CivilDate localToday()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

// Whether the process token has SeSystemtimePrivilege on at the moment.
bool systemTimePrivilegeEnabled()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    PRIVILEGE_SET wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Control = PRIVILEGE_SET_ALL_NECESSARY;
    BOOL enabled = FALSE;
    const bool ok = LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &wanted.Privilege[0].Luid)
                    && PrivilegeCheck(token, &wanted, &enabled);
    CloseHandle(token);
    return ok && enabled;
}

class WindowsClockTest : public ::testing::Test {
protected:
    std::unique_ptr<SystemClock> clock = makeSystemClock();
};

TEST_F(WindowsClockTest, NowIsTheSystemTimeInSecondsSince1970)
{
    const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t now = clock->now();
    const std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

TEST_F(WindowsClockTest, LocalDateAgreesWithTheRuntimeLibraryAndTheLocalClock)
{
    // The runtime library would read TZ in its own way; the system's zone is wanted.
    _putenv_s("TZ", "");
    _tzset();
    // Half an hour either side of the year's turn in UTC, a summer noon, a
    // leap day, and a day at the start of the range.
    for (std::int64_t t : {INT64_C(1798759800), INT64_C(1798763400), INT64_C(1782907200), INT64_C(951825600),
                           INT64_C(86400)}) {
        const __time64_t seconds = t;
        std::tm expected{};
        ASSERT_EQ(_localtime64_s(&expected, &seconds), 0) << t;
        EXPECT_EQ(clock->localDate(t), (CivilDate{expected.tm_year + 1900, expected.tm_mon + 1, expected.tm_mday}))
            << t;
    }

    CivilDate before;
    CivilDate today;
    do {  // again when midnight passed in between
        before = localToday();
        today = clock->today();
    } while (localToday() != before);
    EXPECT_EQ(today, before);
}

TEST_F(WindowsClockTest, DatesOutsideTheSystemsRangeHaveNoLocalDate)
{
    EXPECT_EQ(clock->localDate(-20000000000), CivilDate{});  // before 1601
    EXPECT_EQ(clock->localDate(INT64_MAX), CivilDate{});
}

TEST_F(WindowsClockTest, SteadyMillisecondsRunOnWithTime)
{
    const std::int64_t first = clock->steadyMs();
    Sleep(120);
    const std::int64_t second = clock->steadyMs();
    EXPECT_GE(second - first, 100);
    EXPECT_LT(second - first, 5000);
}

TEST_F(WindowsClockTest, ImpossibleDatesAreInvalidCallsWithoutAskingTheSystem)
{
    // Under Wine the system would answer any date but today's with "no
    // privilege" (70): a 5 shows that the date was refused before that.
    const int year = localToday().year;
    const CivilDate impossible[] = {
        {year, 2, 31}, {year, 4, 31}, {year, 13, 1}, {year, 0, 10}, {year, 1, 0},
        {2026, 2, 29}, {2100, 2, 29}, {1600, 12, 31}, {30828, 1, 1}, {-1, 1, 1},
    };
    for (const CivilDate& date : impossible) {
        const AppError error = clock->setDate(date);
        EXPECT_EQ(error.number, kErrInvalidCall) << date.year << "-" << date.month << "-" << date.day;
        EXPECT_EQ(error.description, "Invalid procedure call or argument");
    }
    EXPECT_EQ(localToday().year, year);
}

TEST_F(WindowsClockTest, TodaySetsWithThePrivilegeEnabledOnlyForTheCall)
{
    const bool enabledBefore = systemTimePrivilegeEnabled();
    const CivilDate today = localToday();

    const AppError error = clock->setDate(today);
    if (localToday() != today)
        GTEST_SKIP() << "midnight passed during the test";

    if (underWine())
        EXPECT_EQ(error.number, 0) << error.description;  // Wine allows a set that moves nothing
    else
        EXPECT_TRUE(error.number == 0 || error.number == kErrPermissionDenied) << error.description;
    EXPECT_EQ(systemTimePrivilegeEnabled(), enabledBefore);
}

TEST_F(WindowsClockTest, RefusalOfTheSystemIsPermissionDenied)
{
    if (!underWine())
        GTEST_SKIP() << "only under Wine, which refuses every real change: here the date could move";

    const bool enabledBefore = systemTimePrivilegeEnabled();
    const CivilDate today = localToday();
    const CivilDate yearsAway{today.year + 5, 6, 15};

    const AppError error = clock->setDate(yearsAway);

    EXPECT_EQ(error.number, kErrPermissionDenied) << error.description;
    EXPECT_EQ(error.description, "Permission denied");
    EXPECT_EQ(localToday(), today);
    EXPECT_EQ(systemTimePrivilegeEnabled(), enabledBefore);
}

}  // namespace
