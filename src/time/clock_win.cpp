// The clock on Windows: the system time in FILETIME units, the local date by
// the time zone's rules for that date, and SetLocalTime with the system-time
// privilege held only for the moment of the set.

#include "clock.h"

#include <string>

#include <windows.h>

namespace {

// FILETIME counts 100 ns ticks from 1601-01-01 UTC.
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicksPerMs = 10000;
constexpr std::int64_t kUnixEpochTicks = 116444736000000000;
// SYSTEMTIME's years.
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;

bool isRealDay(const CivilDate& date)
{
    return date.year >= kFirstYear && date.year <= kLastYear && date.isCalendarDay();
}

std::int64_t ticksOf(const FILETIME& time)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME fileTimeOf(std::int64_t ticks)
{
    const auto bits = static_cast<std::uint64_t>(ticks);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(bits & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(bits >> 32);
    return time;
}

std::string systemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS
            | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(code) : message;
}

AppError errorFromSystem(DWORD code)
{
    switch (code) {
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_NOT_ALL_ASSIGNED:
    case ERROR_ACCESS_DENIED:
        return AppError::permissionDenied();
    case ERROR_INVALID_PARAMETER:
        return AppError::invalidCall();
    case ERROR_IO_DEVICE:
        return {57, "Device I/O error (" + systemMessage(code) + ")", {}, 0};
    default:
        return {51, "Internal error (" + systemMessage(code) + ")", {}, 0};
    }
}

// Enables the system-time privilege for as long as it lives, then puts back
// the state it had. notHeld tells that the token lacks it altogether.
class SystemTimePrivilege {
public:
    SystemTimePrivilege()
    {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) {
            token_ = nullptr;
            return;
        }
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &wanted.Privileges[0].Luid))
            return;
        DWORD length = 0;
        // TRUE even when the token lacks it: that is told by the last error.
        if (AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof previous_, &previous_, &length))
            notHeld_ = GetLastError() == ERROR_NOT_ALL_ASSIGNED;
        else
            previous_.PrivilegeCount = 0;
    }

    ~SystemTimePrivilege()
    {
        // Lists only what the enabling changed: nothing when it was on already.
        if (token_ && previous_.PrivilegeCount > 0)
            AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
        if (token_)
            CloseHandle(token_);
    }

    SystemTimePrivilege(const SystemTimePrivilege&) = delete;
    SystemTimePrivilege& operator=(const SystemTimePrivilege&) = delete;

    bool notHeld() const { return notHeld_; }

private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_{};
    bool notHeld_ = false;
};

// The FILETIME ticks on `date` at `secondOfDay`, or at the local time of day
// of `fromNs` when that is negative, with the milliseconds of `fromNs` then.
AppError ticksAt(const CivilDate& date, int secondOfDay, std::int64_t fromNs, std::int64_t* ticks)
{
    if (!isRealDay(date))
        return AppError::invalidCall();
    const std::int64_t fromTicks = fromNs / 100 + kUnixEpochTicks;
    const FILETIME from = fileTimeOf(fromTicks);
    SYSTEMTIME universal;
    SYSTEMTIME local;
    if (!FileTimeToSystemTime(&from, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return AppError::invalidCall();
    local.wYear = static_cast<WORD>(date.year);
    local.wMonth = static_cast<WORD>(date.month);
    local.wDay = static_cast<WORD>(date.day);
    if (secondOfDay >= 0) {
        local.wHour = static_cast<WORD>(secondOfDay / 3600);
        local.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
        local.wSecond = static_cast<WORD>(secondOfDay % 60);
        local.wMilliseconds = 0;
    }
    SYSTEMTIME targetUtc;
    FILETIME target;
    TIME_ZONE_INFORMATION zone;
    const bool ofThatYear = GetTimeZoneInformationForYear(local.wYear, nullptr, &zone);
    if (!TzSpecificLocalTimeToSystemTime(ofThatYear ? &zone : nullptr, &local, &targetUtc)
        || !SystemTimeToFileTime(&targetUtc, &target))
        return AppError::invalidCall();
    *ticks = ticksOf(target);
    return AppError::none();
}

// The instant on `date` at the local time of day of `fromNs`.
AppError instantAt(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs)
{
    std::int64_t ticks = 0;
    if (const AppError error = ticksAt(date, -1, fromNs, &ticks))
        return error;
    // Nanoseconds reach from 1677 to 2262 only.
    if (ticks - kUnixEpochTicks < INT64_MIN / 100 + 1 || ticks - kUnixEpochTicks > INT64_MAX / 100 - 1)
        return AppError::invalidCall();
    // SYSTEMTIME holds milliseconds: the finer part comes from `from`.
    *instantNs = (ticks - kUnixEpochTicks) * 100 + fromNs % 1000000;
    return AppError::none();
}

class WindowsClock final : public SystemClock {
public:
    std::int64_t nowNs() const override
    {
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        return (ticksOf(time) - kUnixEpochTicks) * 100;
    }

    std::int64_t bootNs() const override
    {
        // Counts the time asleep or hibernating too, as the wall clock does.
        return static_cast<std::int64_t>(GetTickCount64()) * 1000000;
    }

    CivilDate localDate(std::int64_t epochSeconds) const override
    {
        constexpr std::int64_t kFirstSecond = -kUnixEpochTicks / kTicksPerSecond;
        constexpr std::int64_t kLastSecond = (INT64_MAX - kUnixEpochTicks) / kTicksPerSecond;
        if (epochSeconds < kFirstSecond || epochSeconds > kLastSecond)
            return {};
        const FILETIME utc = fileTimeOf(epochSeconds * kTicksPerSecond + kUnixEpochTicks);
        SYSTEMTIME universal;
        SYSTEMTIME local;
        if (!FileTimeToSystemTime(&utc, &universal))
            return {};
        // The zone's daylight-saving rules of that year, not of today.
        TIME_ZONE_INFORMATION zone;
        const bool ofThatYear = GetTimeZoneInformationForYear(universal.wYear, nullptr, &zone);
        if (!SystemTimeToTzSpecificLocalTime(ofThatYear ? &zone : nullptr, &universal, &local))
            return {};
        return {local.wYear, local.wMonth, local.wDay};
    }

    AppError instantOn(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs) const override
    {
        return instantAt(date, fromNs, instantNs);
    }

    AppError setInstant(std::int64_t epochNs) override
    {
        SystemTimePrivilege privilege;
        const FILETIME wanted = fileTimeOf(epochNs / 100 + kUnixEpochTicks);
        SYSTEMTIME universal;
        if (epochNs < 0 || !FileTimeToSystemTime(&wanted, &universal))
            return AppError::invalidCall();
        if (!SetSystemTime(&universal)) {
            const DWORD error = GetLastError();
            if (privilege.notHeld() && error != ERROR_INVALID_PARAMETER)
                return AppError::permissionDenied();
            return errorFromSystem(error);
        }
        return AppError::none();
    }

    AppError setDate(const CivilDate& date) override
    {
        if (!isRealDay(date))
            return AppError::invalidCall();

        SystemTimePrivilege privilege;
        SYSTEMTIME wanted;
        GetLocalTime(&wanted);
        const ULONGLONG startMs = GetTickCount64();
        wanted.wYear = static_cast<WORD>(date.year);
        wanted.wMonth = static_cast<WORD>(date.month);
        wanted.wDay = static_cast<WORD>(date.day);  // wDayOfWeek is not read by SetLocalTime
        if (!SetLocalTime(&wanted)) {
            const DWORD error = GetLastError();
            if (privilege.notHeld() && error != ERROR_INVALID_PARAMETER)
                return AppError::permissionDenied();
            return errorFromSystem(error);
        }

        // The first set converts with the daylight-saving state of the old
        // date; once that has moved to the new date's, a second set makes the
        // local time of day come out right. It carries the time spent since.
        // The date is set already, so a failure here is not reported.
        FILETIME wantedTime;
        SYSTEMTIME again;
        if (SystemTimeToFileTime(&wanted, &wantedTime)) {
            const std::int64_t spentMs = static_cast<std::int64_t>(GetTickCount64() - startMs);
            const FILETIME later = fileTimeOf(ticksOf(wantedTime) + spentMs * kTicksPerMs);
            if (FileTimeToSystemTime(&later, &again))
                SetLocalTime(&again);
        }
        return AppError::none();
    }
};

}  // namespace

std::unique_ptr<SystemClock> makeSystemClock()
{
    return std::make_unique<WindowsClock>();
}

std::int64_t unfakedNowNs()
{
    return WindowsClock().nowNs();
}

AppError localSecondOn(const CivilDate& date, int secondOfDay, std::int64_t fromSecond, std::int64_t* second,
                       TimeFit* fit)
{
    if (secondOfDay >= 24 * 3600)
        return AppError::invalidCall();
    std::int64_t ticks = 0;
    if (const AppError error = ticksAt(date, secondOfDay, fromSecond * kNsPerSecond, &ticks))
        return error;
    // FILETIME ticks begin in 1601, before 1970: the division floors.
    *second = (ticks - kUnixEpochTicks - (ticks < kUnixEpochTicks ? kTicksPerSecond - 1 : 0)) / kTicksPerSecond;
    // The system's conversion tells no skipped or repeated time apart.
    if (fit)
        *fit = TimeFit::Exact;
    return AppError::none();
}

void settableSeconds(std::int64_t* first, std::int64_t* last)
{
    // SYSTEMTIME's years, 1601 to 30827 (922314988800 s from 1601 to 30828).
    *first = -kUnixEpochTicks / kTicksPerSecond;
    *last = 922314988800 - 1 - kUnixEpochTicks / kTicksPerSecond;
}
