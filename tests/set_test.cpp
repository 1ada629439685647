// The Set action: every outcome, its refusals and their messages, and the
// automatic set at start-up.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "refusalmessage.h"
#include "testenv.h"

namespace {

class SetTest : public MainWindowTest {
protected:
    void set(const QString& date)
    {
        window->Text2->setText(date);
        QTest::mouseClick(child<QPushButton>("cmdSet"), Qt::LeftButton);
    }
    bool resetOffered() const { return window->findChild<QPushButton*>("cmdReset")->isEnabled(); }
    bool dateBoxSelectedWithFocus() const
    {
        return window->Text2->hasFocus() && window->Text2->selectedText() == window->Text2->text();
    }
};

TEST_F(SetTest, AnotherDateIsSetConfirmedAndRemembered)
{
    show();
    set("12/12/2001");
    ASSERT_EQ(clock.sets.size(), 1u);
    EXPECT_EQ(clock.sets[0], QDate(2001, 12, 12));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Date is now:  12/12/2001");
    EXPECT_EQ(dialogs.shown[0].title, "Ravodor says:");
    EXPECT_EQ(dialogs.shown[0].style, 0);
    EXPECT_TRUE(resetOffered());
    EXPECT_EQ(text("lblHIDDENtoday"), "12/12/2001");
    EXPECT_EQ(text("Text1"), "10/01/2004");
    EXPECT_EQ(recent(1), "12/12/2001");
    EXPECT_TRUE(child<QPushButton>("cmdSet")->hasFocus());  // a successful set leaves the focus alone
}

TEST_F(SetTest, TheDateInEffectIsNotSetAgain)
{
    show();
    set("10/01/2004");  // today, nothing altered yet
    EXPECT_EQ(dialogs.texts(), QStringList{"Nothing changed ..."});
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dateBoxSelectedWithFocus());

    dialogs.clear();
    set("12/12/2001");
    set("12-12-01");  // the same day again: compared with what was set, not the clock
    EXPECT_EQ(dialogs.texts(), (QStringList{"Date is now:  12/12/2001", "Nothing changed ..."}));
    EXPECT_EQ(clock.attempts, 1);
    EXPECT_EQ(recent(1), "12/12/2001");
    EXPECT_FALSE(recent(2).has_value());
}

TEST_F(SetTest, SettingTheRealDateAgainWithdrawsReset)
{
    show();
    set("12/12/2001");
    set("10/01/2004");
    ASSERT_EQ(clock.sets.size(), 2u);
    EXPECT_EQ(clock.sets[1], QDate(2004, 1, 10));
    EXPECT_EQ(dialogs.texts().last(), "Date is now:  10/01/2004");
    EXPECT_FALSE(resetOffered());
    EXPECT_EQ(text("lblHIDDENtoday"), "10/01/2004");
    EXPECT_EQ(recent(1), "10/01/2004");
    EXPECT_EQ(recent(2), "12/12/2001");
}

TEST_F(SetTest, TextsThatAreNoDateAreRefusedWithTheirOwnWords)
{
    show();
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "Please enter a date ..."},
        {"   ", "That date is not in an acceptable format!"},
        {"31/02/2001", "That date is not in an acceptable format!"},
        {"tomorrow", "That date is not in an acceptable format!"},
    };
    for (const auto& c : cases) {
        dialogs.clear();
        child<QPushButton>("cmdAbout")->setFocus();
        set(c.text);
        EXPECT_EQ(dialogs.texts(), QStringList{c.message}) << c.text;
        EXPECT_EQ(dialogs.shown[0].title, "Ravodor says:");
        EXPECT_TRUE(dateBoxSelectedWithFocus()) << c.text;
    }
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_FALSE(resetOffered());
    EXPECT_EQ(text("lblHIDDENtoday"), "10/01/2004");
    EXPECT_FALSE(recent(1).has_value());
}

TEST_F(SetTest, WithoutTheRightToSetTheClockNothingChanges)
{
    show();
    clock.failWith(AppError::permissionDenied());
    set("12/12/2001");
    EXPECT_EQ(dialogs.texts(), QStringList{refusalMessage(AppError::permissionDenied())});
    EXPECT_TRUE(clock.sets.empty());
    EXPECT_FALSE(resetOffered());
    EXPECT_EQ(text("lblHIDDENtoday"), "10/01/2004");
    EXPECT_FALSE(recent(1).has_value());
    EXPECT_TRUE(child<QPushButton>("cmdSet")->hasFocus());
}

TEST_F(SetTest, AnyOtherFailureGetsTheFullReport)
{
    show();
    clock.failWith(AppError{5, "Invalid procedure call or argument", "ravodor.hlp", 1005});
    set("12/12/2001");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const ShownMessage& report = dialogs.shown[0];
    EXPECT_EQ(report.title, "Error");
    EXPECT_EQ(report.style, 0);
    EXPECT_EQ(report.helpFile, "ravodor.hlp");
    EXPECT_EQ(report.helpContext, 1005);
    EXPECT_EQ(report.text.split("\r\n"), (QStringList{"An Error was generated:", "", "Description:",
                                                      "Error 5 - Invalid procedure call or argument",
                                                      "frmMain, cmdSet", "",
                                                      "Please inform the author with the error description above."}));
    EXPECT_FALSE(report.text.endsWith("\n"));
    EXPECT_FALSE(resetOffered());
    EXPECT_FALSE(recent(1).has_value());
}

TEST_F(SetTest, ADateTheClockCannotTakeIsReportedAsAnError)
{
    show();
    set("01/01/1960");  // before the epoch: the clock refuses it
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Error");
    EXPECT_TRUE(dialogs.shown[0].text.contains("\r\nError 5 - Invalid procedure call or argument\r\n"));
}

TEST_F(SetTest, NegativeErrorNumbersTakeTheirSignInPlaceOfTheBlank)
{
    show();
    clock.failWith(AppError{-2147024891, "Access is denied.", {}, 0});
    set("12/12/2001");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("\r\nError-2147024891 - Access is denied.\r\n"));
}

TEST_F(SetTest, ATypedFormIsSetNormalisedAndRememberedAsTyped)
{
    show();
    set("1-2-03");
    ASSERT_EQ(clock.sets.size(), 1u);
    EXPECT_EQ(clock.sets[0], QDate(2003, 2, 1));
    EXPECT_EQ(dialogs.texts(), QStringList{"Date is now:  01/02/2003"});
    EXPECT_EQ(text("lblHIDDENtoday"), "01/02/2003");
    EXPECT_EQ(recent(1), "1-2-03");
}

TEST_F(SetTest, APickedPresetIsRememberedByItsTrimmedDate)
{
    show();
    window->Text2->setText("12/12/2001");
    window->lblHIDDENpreset->setText("Testpreset =  12/12/2001 ");
    QTest::mouseClick(child<QPushButton>("cmdSet"), Qt::LeftButton);
    EXPECT_EQ(recent(1), "12/12/2001");
}

TEST_F(SetTest, StartUpAppliesTheNewestDateBeforeTheWindowShows)
{
    putSetting("", "StartAltered", "1");
    setRecent(1, "12/12/2001");
    bool visibleAtMessage = true;
    dialogs.whileOpen = [&](const ShownMessage&) { visibleAtMessage = window->isVisible(); };
    show();
    ASSERT_EQ(clock.sets.size(), 1u);
    EXPECT_EQ(clock.sets[0], QDate(2001, 12, 12));
    EXPECT_EQ(dialogs.texts(), QStringList{"Date is now:  12/12/2001"});
    EXPECT_FALSE(visibleAtMessage);
    EXPECT_TRUE(resetOffered());
    EXPECT_EQ(text("lblHIDDENtoday"), "12/12/2001");
}

TEST_F(SetTest, AFailedSetAtStartUpIsReportedAndStartUpGoesOn)
{
    putSetting("", "StartAltered", "1");
    setRecent(1, "12/12/2001");
    clock.failWith(AppError::permissionDenied());
    show();
    EXPECT_EQ(dialogs.texts(), QStringList{refusalMessage(AppError::permissionDenied())});
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(resetOffered());
}

TEST_F(SetTest, StartUpSkipsANewestEntryThatIsNoDate)
{
    putSetting("", "StartAltered", "1");
    setRecent(1, "not a date");
    show();
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(window->Text2->text(), "not a date");
    EXPECT_TRUE(resetOffered());
}

}  // namespace
