// Putting the real date back: Reset, Exit, the close box, the quiet restore
// at the end of a countdown, midnight, and the day shift of the date box.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "testenv.h"

namespace {

class RestoreTest : public MainWindowTest {
protected:
    void set(const QString& date)
    {
        window->Text2->setText(date);
        window->cmdSet_Click();
    }
    void press(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
};

TEST_F(RestoreTest, ResetPutsTheRealDateBackEverywhere)
{
    show();
    const std::int64_t real = clock.nowNs();
    set("12/12/2001");
    dialogs.clear();
    window->Text2->setText("15/06/2002");
    press("cmdReset");

    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    ASSERT_EQ(clock.sets.size(), 2u);
    EXPECT_EQ(clock.instants.back(), real);  // the real instant itself, not just its date
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  10/01/2004"});
    EXPECT_EQ(text("Text1"), "10/01/2004");
    EXPECT_EQ(text("Text2"), "10/01/2004");
    EXPECT_EQ(text("lblHIDDENtoday"), "10/01/2004");
    EXPECT_FALSE(child<QPushButton>("cmdReset")->isEnabled());
    EXPECT_TRUE(window->Text2->hasFocus());
    EXPECT_EQ(window->Text2->selectedText(), "10/01/2004");
}

TEST_F(RestoreTest, ResetDecidesFromTheBoxesNotFromTheClock)
{
    show();
    set("12/12/2001");
    dialogs.clear();
    window->Text2->setText("10-1-2004");  // the real date typed, not set
    press("cmdReset");
    EXPECT_EQ(dialogs.texts(), QStringList{"Nothing to restore ..."});
    EXPECT_EQ(clock.date(), QDate(2001, 12, 12));
    EXPECT_TRUE(child<QPushButton>("cmdReset")->isEnabled());
    EXPECT_EQ(window->Text2->selectedText(), "10-1-2004");
}

TEST_F(RestoreTest, ResetWithAnEmptyDateBoxRestoresWithoutComplaint)
{
    show();
    set("12/12/2001");
    dialogs.clear();
    window->Text2->clear();
    press("cmdReset");
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  10/01/2004"});
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
}

TEST_F(RestoreTest, ExitRestoresAnAlteredDateSavesTheOptionAndEnds)
{
    show();
    set("12/12/2001");
    child<QCheckBox>("Check1")->setChecked(true);
    dialogs.clear();
    press("cmdExit");
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  10/01/2004"});
    EXPECT_EQ(getSetting("", "StartAltered"), "1");
    EXPECT_EQ(endCount, 1);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(RestoreTest, ExitWithTheRealDateInEffectSaysNothing)
{
    show();
    press("cmdExit");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(getSetting("", "StartAltered"), "0");
    EXPECT_EQ(endCount, 1);
}

TEST_F(RestoreTest, TheCloseBoxRunsTheSameClosingSteps)
{
    show();
    set("12/12/2001");
    dialogs.clear();
    window->close();
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  10/01/2004"});
    EXPECT_EQ(getSetting("", "StartAltered"), "0");
    EXPECT_EQ(endCount, 1);
}

TEST_F(RestoreTest, TheCountdownRestoresSilently)
{
    show();
    set("12/12/2001");
    dialogs.clear();
    window->strQuitSignal = "SignalFromTimer!";
    window->isDateRestored();
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(getSetting("", "StartAltered"), "0");
    EXPECT_EQ(endCount, 1);
}

TEST_F(RestoreTest, AQuietCloseRestoresWithoutMessages)
{
    show();
    set("12/12/2001");
    dialogs.clear();
    window->closeQuietly();
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(endCount, 1);
}

TEST_F(RestoreTest, PastMidnightWithNothingAlteredExitChangesNothing)
{
    show();
    clock.advance(13 * 3600);  // 01:00 the next day
    press("cmdExit");
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(text("Text1"), "11/01/2004");
    EXPECT_EQ(text("lblHIDDENorgdate"), "11/01/2004");
    EXPECT_EQ(endCount, 1);
}

TEST_F(RestoreTest, PastMidnightTheRestorePutsBackTodaysRealDate)
{
    show();
    set("12/12/2001");
    dialogs.clear();
    clock.advance(24 * 3600);
    press("cmdExit");
    EXPECT_EQ(clock.date(), QDate(2004, 1, 11));
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  11/01/2004"});
}

TEST_F(RestoreTest, PastMidnightResetComparesWithTodaysRealDate)
{
    show();
    set("12/12/2001");
    clock.advance(24 * 3600);
    dialogs.clear();
    window->Text2->setText("11/01/2004");
    press("cmdReset");
    EXPECT_EQ(dialogs.texts(), QStringList{"Nothing to restore ..."});
    EXPECT_EQ(text("Text1"), "11/01/2004");
}

TEST_F(RestoreTest, AFailedRestoreNamesTheRealDateAndStillCloses)
{
    show();
    set("12/12/2001");
    clock.failWith(AppError::permissionDenied());
    dialogs.clear();
    press("cmdExit");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("10/01/2004"));
    EXPECT_TRUE(dialogs.shown[0].text.contains("Permission denied"));
    EXPECT_FALSE(dialogs.shown[0].text.contains("Date restored to"));
    EXPECT_EQ(endCount, 1);
}

TEST_F(RestoreTest, AFailedRestoreEndsTheProcessWithExitCodeOne)
{
    for (bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "quiet close" : "Exit");
        clock = FakeClock(QDate(2004, 1, 10));
        show();
        set("12/12/2001");
        clock.failWith(AppError::permissionDenied());
        dialogs.clear();
        int exitCode = -1;
        services.endProcess = [&exitCode](int code) { exitCode = code; };
        testing::internal::CaptureStderr();
        quiet ? window->closeQuietly() : press("cmdExit");
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(dialogs.shown.size(), quiet ? 0u : 1u);
        EXPECT_EQ(said.find("10/01/2004") != std::string::npos, quiet) << said;
        EXPECT_EQ(exitCode, 1);
    }
}

TEST_F(RestoreTest, AFailedResetNamesTheRealDateAndKeepsResetOffered)
{
    show();
    set("12/12/2001");
    clock.failWith(AppError::permissionDenied());
    dialogs.clear();
    press("cmdReset");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("10/01/2004"));
    EXPECT_TRUE(child<QPushButton>("cmdReset")->isEnabled());
    EXPECT_EQ(text("lblHIDDENtoday"), "12/12/2001");
}

TEST_F(RestoreTest, TheDayShiftCountsCalendarDays)
{
    load();
    const struct {
        const char* from;
        int days;
        const char* to;
    } cases[] = {
        {"28/02/2004", 1, "29/02/2004"},   {"01/03/2003", -1, "28/02/2003"}, {"01/03/2004", -1, "29/02/2004"},
        {"01/03/2003", 365, "29/02/2004"}, {"12/12/2001", 730, "12/12/2003"}, {"1-2-03", 0, "01/02/2003"},
    };
    for (const auto& c : cases) {
        window->Text2->setText(c.from);
        EXPECT_TRUE(window->calcDate(c.days)) << c.from;
        EXPECT_EQ(window->Text2->text(), c.to) << c.from << " " << c.days;
    }
}

TEST_F(RestoreTest, TheDayShiftLeavesAnUnusableDateAlone)
{
    load();
    for (const char* from : {"", "abc", "31/12/9999"}) {
        window->Text2->setText(from);
        EXPECT_FALSE(window->calcDate(1)) << from;
        EXPECT_EQ(window->Text2->text(), from);
    }
    window->Text2->setText("01/01/0100");
    EXPECT_FALSE(window->calcDate(-1));
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
