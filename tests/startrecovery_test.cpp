// A start that finds a record of a program that ended with the date altered
// acts before anything else, and says what happened in one message.

#include <QDateTime>
#include <QLineEdit>

#include "fakeservices.h"
#include "processinfo.h"
#include "restorerecord.h"
#include "settingskey.h"
#include "testenv.h"

namespace {

TEST_F(MainWindowTest, AStartPutsRightWhatAProgramThatIsGoneLeftAltered)
{
    const struct {
        bool sameBoot;
        QDate clockBefore;
        QDate clockAfter;
        QString message;
    } cases[] = {
        {true, {2004, 1, 20}, {2004, 1, 10},
         "Ravodor ended while the system date was set to 20/01/2004. The real date, 10/01/2004, has been put back."},
        // The guard put it back when the program ended: nothing was left changed.
        {true, {2004, 1, 10}, {2004, 1, 10}, ""},
        {false, {2004, 1, 20}, {2004, 1, 20},
         "Ravodor ended while the system date was set to 20/01/2004. The computer has been restarted since, so the "
         "real date could not be worked out. Please check the system clock."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.clockBefore.toString() + (c.sameBoot ? " same boot" : " another boot")).toStdString());
        clock = FakeClock(c.clockBefore);
        FakeTimeService service(&clock, SyncState::Off);
        services.keeper = fakeKeeper(clock, &service);
        dialogs.clear();

        // Anchored ten minutes ago, on 10/01/2004 at 11:50, by a program that is gone.
        RestoreRecord record;
        record.anchorWallNs = QDateTime(QDate(2004, 1, 10), QTime(11, 50), QTimeZone::utc()).toSecsSinceEpoch()
                              * kNsPerSecond;
        record.anchorBootNs = clock.bootNs() - 600 * kNsPerSecond;
        record.bootId = c.sameBoot ? currentBootId() : "another-boot";
        record.inEffect = {2004, 1, 20};
        record.syncPaused = true;
        record.pid = currentProcessId();
        record.pidStart = processStartTime(record.pid) + 1;
        ASSERT_FALSE(RecordStore(settingsKeyPath("ravodor")).write(record));

        load();
        EXPECT_EQ(clock.date(), c.clockAfter);
        EXPECT_EQ(service.calls, std::vector<std::string>{"SetNTP(true)"});
        EXPECT_EQ(dialogs.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(text("Text1"), c.clockAfter.toString("dd/MM/yyyy"));
        EXPECT_FALSE(getSetting("", "RestoreRecord"));
        window.reset();
    }
}

}  // namespace
