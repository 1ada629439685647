#pragma once
// The system clock: read the time, set it. Windows and tests get it from
// outside so that nothing but the real program can move the clock.

#include <cstdint>
#include <memory>
#include <string>

#include "apperror.h"

struct CivilDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31

    bool isNull() const { return year == 0 && month == 0 && day == 0; }
    // A day the proleptic Gregorian calendar has (any year).
    bool isCalendarDay() const;
    friend bool operator==(const CivilDate& a, const CivilDate& b)
    {
        return a.year == b.year && a.month == b.month && a.day == b.day;
    }
    friend bool operator!=(const CivilDate& a, const CivilDate& b) { return !(a == b); }
};

// YYYY-MM-DD, as the restore record and the guard's requests carry dates.
std::string isoDate(const CivilDate& date);
// Exactly ten characters of that form naming a calendar day of a year from 1.
bool parseIsoDate(const std::string& text, CivilDate* date);

constexpr std::int64_t kNsPerSecond = 1000000000;
constexpr std::int64_t kNsPerDay = 86400 * kNsPerSecond;  // a day without a change of offset

class SystemClock {
public:
    virtual ~SystemClock() = default;

    // Wall-clock time in nanoseconds since 1970-01-01 UTC; setting the clock moves it.
    virtual std::int64_t nowNs() const = 0;
    // Nanoseconds on a clock that setting the date cannot move and that counts
    // a suspend as time passing, as the wall clock does.
    virtual std::int64_t bootNs() const = 0;
    // The local calendar date at a wall-clock time, in the time zone now in force.
    virtual CivilDate localDate(std::int64_t epochSeconds) const = 0;
    // The instant on `date` whose local time of day is that of `fromNs`.
    // Error 5 when the date has no such instant or the system cannot hold it.
    virtual AppError instantOn(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs) const = 0;
    // Puts the wall clock at an instant. Lack of rights is error 70, an
    // instant the system refuses error 5.
    virtual AppError setInstant(std::int64_t epochNs) = 0;
    // Sets the local date and keeps the local time of day running: by default
    // instantOn() plus the time spent, through setInstant().
    virtual AppError setDate(const CivilDate& date);

    std::int64_t now() const { return floorSeconds(nowNs()); }
    std::int64_t steadyMs() const { return bootNs() / 1000000; }
    CivilDate today() const { return localDate(now()); }

    static std::int64_t floorSeconds(std::int64_t ns)
    {
        return ns >= 0 ? ns / kNsPerSecond : -((-ns + kNsPerSecond - 1) / kNsPerSecond);
    }
};

// The operating system's clock (clock_unix.cpp / clock_win.cpp).
std::unique_ptr<SystemClock> makeSystemClock();

// How a local time of day met the time zone on a date.
enum class TimeFit {
    Exact,
    Skipped,   // the zone skips it there (clocks put forward): moved on by the gap
    Repeated,  // the zone passes it twice there (clocks put back): one of the two
};

// The second since 1970-01-01 UTC on `date` at a local time of day (seconds
// from midnight), or at that of `fromSecond` when `secondOfDay` is negative,
// in the time zone now in force. A time of day the zone repeats or skips
// there is resolved as instantOn() resolves it, the UTC offset at
// `fromSecond` choosing between repeated ones. In whole seconds, so every
// year from 1 to 9999 fits; error 5 when the zone has no such day.
AppError localSecondOn(const CivilDate& date, int secondOfDay, std::int64_t fromSecond, std::int64_t* second,
                       TimeFit* fit = nullptr);

// The first and last second since 1970-01-01 UTC the system clock can be set to.
void settableSeconds(std::int64_t* first, std::int64_t* last);

// The wall clock as the system keeps it, past a library preloaded to fake it
// (libfaketime): what such a library adds its offset to.
std::int64_t unfakedNowNs();
