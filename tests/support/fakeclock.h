#pragma once
// An in-process clock for the window tests: nanoseconds, a named time zone
// that can change mid-test, every set recorded, refusals on request. It never
// reaches the operating system's clock.

#include <QDate>
#include <QTimeZone>
#include <vector>

#include "clock.h"

class FakeClock : public SystemClock {
public:
    // Starts on `today` at a local time of day, in `zone` (UTC when empty).
    explicit FakeClock(const QDate& today, int secondsOfDay = 12 * 3600, const QByteArray& zone = {});

    std::int64_t nowNs() const override { return wallNs_; }
    std::int64_t bootNs() const override { return bootNs_; }
    CivilDate localDate(std::int64_t epochSeconds) const override;
    AppError instantOn(const CivilDate& date, std::int64_t fromNs, std::int64_t* instantNs) const override;
    AppError setInstant(std::int64_t epochNs) override;

    QDate date() const;
    // Time passes: both the wall clock and the boot clock move on.
    void advance(std::int64_t seconds) { advanceNs(seconds * kNsPerSecond); }
    void advanceNs(std::int64_t ns);
    // The system's time zone changes; the instant stays.
    void setZone(const QByteArray& zone);
    // Every following set fails with this error (none() to accept again).
    void failWith(const AppError& error) { failure_ = error; }
    // What the system's time service does when it is allowed to.
    void shiftByService(std::int64_t ns);

    std::vector<QDate> sets;             // the local date of every successful set, in order
    std::vector<std::int64_t> instants;  // the instant of every successful set
    int attempts = 0;                    // every set asked for

private:
    std::int64_t wallNs_ = 0;
    std::int64_t bootNs_ = 1000 * kNsPerSecond;
    QTimeZone zone_;
    AppError failure_;
};
