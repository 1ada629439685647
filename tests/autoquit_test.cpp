// Auto-quit: the delays, the countdown in the title, and the quiet end.

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "testenv.h"

namespace {

class AutoquitTest : public MainWindowTest {
protected:
    QTimer* timer() const { return window->findChild<QTimer*>("Timer1"); }
    // Ticks until the program ends, collecting the titles in between.
    QStringList tickToTheEnd(int limit = 1000)
    {
        QStringList titles;
        for (int i = 0; i < limit && endCount == 0; ++i) {
            window->Timer1_Timer();
            if (endCount == 0)
                titles << window->windowTitle();
        }
        return titles;
    }
};

TEST_F(AutoquitTest, TheMenuHoldsTheDelaysInOrder)
{
    load();
    const struct {
        const char* name;
        const char* caption;
    } items[] = {
        {"menuAuto1second", "Auto-quit in   1 second"},   {"menuAuto2seconds", "Auto-quit in   2 seconds"},
        {"menuAuto3seconds", "Auto-quit in   3 seconds"},  {"menuAuto4seconds", "Auto-quit in   4 seconds"},
        {"menuAuto5seconds", "Auto-quit in   5 seconds"},  {"menuAuto10seconds", "Auto-quit in 10 seconds"},
        {"menuAuto15seconds", "Auto-quit in 15 seconds"},  {"menuAuto30seconds", "Auto-quit in 30 seconds"},
        {"menuSeperator2", ""},
        {"menuAuto1minute", "Auto-quit in   1 minute"},    {"menuAuto2minute", "Auto-quit in   2 minutes"},
        {"menuAuto3minutes", "Auto-quit in   3 minutes"},  {"menuAuto4minutes", "Auto-quit in   4 minutes"},
        {"menuAuto5minutes", "Auto-quit in   5 minutes"},  {"menuAuto6minutes", "Auto-quit in   6 minutes"},
        {"menuAuto7minutes", "Auto-quit in   7 minutes"},  {"menuAuto8minutes", "Auto-quit in   8 minutes"},
        {"menuAuto9minutes", "Auto-quit in   9 minutes"},  {"menuAuto10minutes", "Auto-quit in 10 minutes"},
    };
    auto* menu = child<QMenu>("menuAutoquit");
    EXPECT_EQ(menu->title(), "&Autoquit");
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 19);
    for (int i = 0; i < 19; ++i) {
        EXPECT_EQ(actions[i]->objectName(), items[i].name);
        EXPECT_EQ(actions[i]->isSeparator(), QString(items[i].name) == "menuSeperator2");
        if (!actions[i]->isSeparator()) {
            EXPECT_EQ(actions[i]->text(), items[i].caption);
        }
    }
}

TEST_F(AutoquitTest, EachDelayCountsItsSeconds)
{
    const struct {
        const char* name;
        int seconds;
    } delays[] = {{"menuAuto1second", 1},    {"menuAuto4seconds", 4},   {"menuAuto30seconds", 30},
                  {"menuAuto2minute", 120},  {"menuAuto10minutes", 600}};
    for (const auto& delay : delays) {
        endCount = 0;
        show();
        action(delay.name)->trigger();
        EXPECT_EQ(window->intCountdown, delay.seconds) << delay.name;
        EXPECT_EQ(tickToTheEnd().size(), delay.seconds - 1) << delay.name;
        EXPECT_EQ(endCount, 1);
    }
}

TEST_F(AutoquitTest, TenSecondsShowNineDownToOne)
{
    show();
    action("menuAuto10seconds")->trigger();
    EXPECT_FALSE(child<QPushButton>("cmdExit")->isEnabled());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 1000);
    EXPECT_EQ(window->windowTitle(), "Ravodor");  // unchanged before the first tick

    QStringList expected;
    for (int n = 9; n >= 1; --n)
        expected << QString("Countdown: %1 sec").arg(n);
    EXPECT_EQ(tickToTheEnd(), expected);
    EXPECT_EQ(endCount, 1);
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(window->strQuitSignal, "SignalFromTimer!");
}

TEST_F(AutoquitTest, OneSecondEndsAtTheFirstTickWithoutATitle)
{
    show();
    action("menuAuto1second")->trigger();
    EXPECT_TRUE(tickToTheEnd().isEmpty());
    EXPECT_EQ(window->windowTitle(), "Ravodor");
    EXPECT_EQ(endCount, 1);
}

TEST_F(AutoquitTest, ASecondChoiceRestartsTheCount)
{
    show();
    action("menuAuto5minutes")->trigger();
    for (int i = 0; i < 3; ++i)
        window->Timer1_Timer();
    EXPECT_EQ(window->windowTitle(), "Countdown: 297 sec");
    window->showNormal();
    action("menuAuto2seconds")->trigger();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(window->windowTitle(), "Countdown: 297 sec");  // kept until the next tick
    EXPECT_EQ(tickToTheEnd(), QStringList{"Countdown: 1 sec"});
    EXPECT_EQ(endCount, 1);
}

TEST_F(AutoquitTest, TheEndRestoresAnAlteredDateSilently)
{
    show();
    window->Text2->setText("12/12/2001");
    window->cmdSet_Click();
    dialogs.clear();
    action("menuAuto2seconds")->trigger();
    tickToTheEnd();
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(getSetting("", "StartAltered"), "0");
    EXPECT_EQ(endCount, 1);
}

TEST_F(AutoquitTest, TheEndWithTheRealDateJustEnds)
{
    show();
    action("menuAuto3seconds")->trigger();
    tickToTheEnd();
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(endCount, 1);
}

TEST_F(AutoquitTest, ClosingDuringACountdownStillSaysTheDateIsBack)
{
    show();
    window->Text2->setText("12/12/2001");
    window->cmdSet_Click();
    action("menuAuto30seconds")->trigger();
    window->Timer1_Timer();
    dialogs.clear();
    window->close();
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  10/01/2004"});
    EXPECT_EQ(endCount, 1);
}

TEST_F(AutoquitTest, TheCountdownRunsOnWhileAMessageIsOpen)
{
    show();
    action("menuAuto2seconds")->trigger();
    window->Timer1_Timer();
    // The last tick arrives while the Set action's message is up.
    dialogs.whileOpen = [this](const ShownMessage&) { window->Timer1_Timer(); };
    window->Text2->setText("12/12/2001");
    window->cmdSet_Click();
    EXPECT_EQ(endCount, 1);
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
}

TEST_F(AutoquitTest, TheRealTimerEndsTheProgram)
{
    show();
    action("menuAuto1second")->trigger();
    const QDeadlineTimer deadline(5000);
    while (endCount == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(endCount, 1);
}

}  // namespace
