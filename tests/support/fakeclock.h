#pragma once
// An in-process clock for the window tests: it records every set and can be
// told to refuse. It never reaches the operating system's clock.

#include <QDate>
#include <vector>

#include "clock.h"

class FakeClock : public SystemClock {
public:
    explicit FakeClock(const QDate& today, int secondsOfDay = 12 * 3600);

    std::int64_t now() const override { return wall_; }
    std::int64_t steadyMs() const override { return steadyMs_; }
    CivilDate localDate(std::int64_t epochSeconds) const override;  // local time is UTC here
    AppError setDate(const CivilDate& date) override;

    QDate date() const { return DateOf(wall_); }
    // Time passes: both the wall clock and the steady clock move on.
    void advance(std::int64_t seconds);
    // Every following set fails with this error (none() to accept again).
    void failWith(const AppError& error) { failure_ = error; }

    std::vector<QDate> sets;  // every date that was successfully set, in order
    int attempts = 0;         // every call of setDate

private:
    static QDate DateOf(std::int64_t epochSeconds);
    std::int64_t wall_ = 0;
    std::int64_t steadyMs_ = 1000000;
    AppError failure_;
};
