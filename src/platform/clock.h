#pragma once
// The system clock: read the time, set the local date. Windows and tests get
// it from outside so that nothing but the real program can move the clock.

#include <cstdint>
#include <memory>

#include "apperror.h"

struct CivilDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31

    friend bool operator==(const CivilDate& a, const CivilDate& b)
    {
        return a.year == b.year && a.month == b.month && a.day == b.day;
    }
    friend bool operator!=(const CivilDate& a, const CivilDate& b) { return !(a == b); }
};

class SystemClock {
public:
    virtual ~SystemClock() = default;

    // Wall-clock time in seconds since 1970-01-01 UTC; setting the date moves it.
    virtual std::int64_t now() const = 0;
    // Milliseconds on a clock that setting the date cannot move.
    virtual std::int64_t steadyMs() const = 0;
    // The local calendar date at a wall-clock time.
    virtual CivilDate localDate(std::int64_t epochSeconds) const = 0;
    // Sets the local date and keeps the local time of day running.
    // Lack of rights is error 70, a date the system refuses error 5.
    virtual AppError setDate(const CivilDate& date) = 0;

    CivilDate today() const { return localDate(now()); }
};

// The operating system's clock (clock_unix.cpp / clock_win.cpp).
std::unique_ptr<SystemClock> makeSystemClock();
