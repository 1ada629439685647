// One notion of now: the instant at start-up plus the boot-clock time since,
// exact to the nanosecond and dated in the time zone now in force.

#include <QDateTime>
#include <QLineEdit>

#include "testenv.h"

namespace {

class RealInstantTest : public MainWindowTest {
protected:
    // A fresh window started at `utcNs` in `zone`.
    void startAt(std::int64_t utcNs, const char* zone)
    {
        window.reset();
        clock = FakeClock(QDate(1970, 1, 1), 0);
        clock.advanceNs(utcNs);
        clock.setZone(zone);
        show();
    }
};

std::int64_t utcNs(const QDate& date, const QTime& time)
{
    return QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch() * 1000000;
}

TEST_F(RealInstantTest, ClosingWithTheRealDateInEffectSetsNothing)
{
    // The laptop travels west across midnight: the real date is a day earlier.
    startAt(utcNs({2024, 3, 4}, {22, 30}), "Etc/GMT-2");
    clock.setZone("Etc/GMT+5");
    window->cmdExit_Click();
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(endCount, 1);

    // Started at .900 of a second; Exit half a second after midnight.
    startAt(utcNs({2024, 3, 4}, {12, 0}) + 900000000, "UTC");
    clock.advanceNs(12LL * 3600 * kNsPerSecond - 400000000);
    window->cmdExit_Click();
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(endCount, 2);
}

TEST_F(RealInstantTest, RestoreInTheAutumnFoldPutsBackTheExactInstant)
{
    const struct {
        const char* zone;
        std::int64_t ns;  // the first and the second pass of the same wall time
    } cases[] = {
        {"Europe/Berlin", utcNs({2024, 10, 27}, {0, 30})},   {"Europe/Berlin", utcNs({2024, 10, 27}, {1, 30})},
        {"America/New_York", utcNs({2024, 11, 3}, {5, 30})}, {"America/New_York", utcNs({2024, 11, 3}, {6, 30})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.ns));
        startAt(c.ns + 123456789, c.zone);
        window->Text2->setText("12/12/2001");
        window->cmdSet_Click();
        clock.advance(60);
        window->cmdExit_Click();
        ASSERT_EQ(clock.instants.size(), 2u);
        EXPECT_EQ(clock.instants.back(), c.ns + 123456789 + 60 * kNsPerSecond);
    }
}

}  // namespace
