// One notion of now: the instant at start-up plus the boot-clock time since,
// exact to the nanosecond and dated in the time zone now in force.

#include <QDateTime>
#include <QLineEdit>

#include "testenv.h"

namespace {

using RealInstantTest = MainWindowTest;

std::int64_t utcNs(const QDate& date, const QTime& time)
{
    return QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch() * 1000000;
}

TEST_F(RealInstantTest, ClosingWithTheRealDateInEffectSetsNothing)
{
    const struct {
        const char* what;
        const char* zone;
        std::int64_t startNs;  // UTC
        const char* laterZone;
        std::int64_t laterNs;  // time passed before Exit
    } cases[] = {
        // The laptop travels west across midnight: the real date is a day earlier.
        {"westward zone change", "Etc/GMT-2", utcNs({2024, 3, 4}, {22, 30}), "Etc/GMT+5", 0},
        // Started at .900 of a second; Exit half a second after midnight.
        {"just after midnight", "UTC", utcNs({2024, 3, 4}, {12, 0}) + 900000000, "UTC",
         12LL * 3600 * kNsPerSecond - 400000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clock = FakeClock(QDate(1970, 1, 1), 0);
        clock.advanceNs(c.startNs);
        clock.setZone(c.zone);
        show();
        clock.setZone(c.laterZone);
        clock.advanceNs(c.laterNs);
        window->cmdExit_Click();
        EXPECT_EQ(clock.attempts, 0);
        EXPECT_EQ(endCount, 1);
        window.reset();
        endCount = 0;
    }
}

TEST_F(RealInstantTest, RestoreInTheAutumnFoldPutsBackTheExactInstant)
{
    const struct {
        const char* zone;
        QDate day;
        QTime utc;  // the first and the second pass of the same wall time
    } cases[] = {
        {"Europe/Berlin", {2024, 10, 27}, {0, 30}},    {"Europe/Berlin", {2024, 10, 27}, {1, 30}},
        {"America/New_York", {2024, 11, 3}, {5, 30}}, {"America/New_York", {2024, 11, 3}, {6, 30}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.utc.toString().toStdString());
        clock = FakeClock(QDate(1970, 1, 1), 0);
        clock.advanceNs(utcNs(c.day, c.utc) + 123456789);
        clock.setZone(c.zone);
        show();
        window->Text2->setText("12/12/2001");
        window->cmdSet_Click();
        clock.advance(60);
        window->cmdExit_Click();
        ASSERT_EQ(clock.instants.size(), 2u);
        EXPECT_EQ(clock.instants.back(), utcNs(c.day, c.utc) + 123456789 + 60 * kNsPerSecond);
        window.reset();
    }
}

}  // namespace
