// The recent dates: the stored list, newest first, and the menu that shows it.

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "testenv.h"

namespace {

class RecentDatesTest : public MainWindowTest {
protected:
    std::vector<std::string> stored() const
    {
        std::vector<std::string> list;
        for (int i = 1; i <= 10; ++i)
            list.push_back(recent(i).value_or("<none>"));
        return list;
    }
    QStringList menu() const
    {
        QStringList captions;
        for (QAction* a : window->findChild<QMenu*>("menuRecent")->actions())
            captions << a->text() + (a->isEnabled() ? "" : " (off)");
        return captions;
    }
    void openPresetMenu() { emit window->findChild<QMenu*>("menuPreset")->aboutToShow(); }
};

TEST_F(RecentDatesTest, StoringIntoAnEmptyListWritesOnlyTheFirstValue)
{
    load();
    window->RecentList_Store("12/12/2001");
    EXPECT_EQ(stored(), (std::vector<std::string>{"12/12/2001", "<none>", "<none>", "<none>", "<none>", "<none>",
                                                  "<none>", "<none>", "<none>", "<none>"}));
}

TEST_F(RecentDatesTest, AnEleventhDateDropsTheOldest)
{
    load();
    for (int day = 1; day <= 11; ++day)
        window->RecentList_Store(QString("%1/03/2003").arg(day, 2, 10, QChar('0')));
    std::vector<std::string> expected;
    for (int day = 11; day >= 2; --day)
        expected.push_back(QString("%1/03/2003").arg(day, 2, 10, QChar('0')).toStdString());
    EXPECT_EQ(stored(), expected);
    EXPECT_FALSE(getSetting("RecentFiles", "11").has_value());
}

TEST_F(RecentDatesTest, StoringTheNewestAgainChangesNothingElse)
{
    for (int i = 1; i <= 3; ++i)
        setRecent(i, "d" + std::to_string(i));
    load();
    window->RecentList_Store("d1");
    EXPECT_EQ(stored(), (std::vector<std::string>{"d1", "d2", "d3", "<none>", "<none>", "<none>", "<none>", "<none>",
                                                  "<none>", "<none>"}));
}

TEST_F(RecentDatesTest, AnEntryFurtherDownMovesToTheHead)
{
    for (int i = 1; i <= 6; ++i)
        setRecent(i, "d" + std::to_string(i));
    load();
    window->RecentList_Store("d4");
    EXPECT_EQ(stored(), (std::vector<std::string>{"d4", "d1", "d2", "d3", "d5", "d6", "<none>", "<none>", "<none>",
                                                  "<none>"}));
}

TEST_F(RecentDatesTest, TextsAreComparedExactly)
{
    setRecent(1, "12/12/2001");
    load();
    window->RecentList_Store("12-12-2001");  // the same day, another text
    EXPECT_EQ(recent(1), "12-12-2001");
    EXPECT_EQ(recent(2), "12/12/2001");
}

TEST_F(RecentDatesTest, AGapMovesDownWithoutClosing)
{
    setRecent(1, "d1");
    setRecent(2, "d2");
    setRecent(4, "d4");
    load();
    EXPECT_EQ(menu(), (QStringList{"d1", "d2", "d4"}));

    window->RecentList_Store("new");
    EXPECT_EQ(stored(), (std::vector<std::string>{"new", "d1", "d2", "d4", "d4", "<none>", "<none>", "<none>",
                                                  "<none>", "<none>"}));
}

TEST_F(RecentDatesTest, TheMenuIsRebuiltEachTimeItOpensWithoutDuplicates)
{
    load();
    EXPECT_EQ(menu(), (QStringList{"Empty (off)"}));
    EXPECT_TRUE(QDir(folders.configHome() + "/Zaduziro/ravodor/RecentFiles").exists());

    window->RecentList_Store("12/12/2001");
    EXPECT_EQ(menu(), (QStringList{"Empty (off)"}));  // storing does not touch the menu
    openPresetMenu();
    openPresetMenu();
    EXPECT_EQ(menu(), (QStringList{"12/12/2001"}));

    window->RecentList_Store("01/02/2003");
    openPresetMenu();
    EXPECT_EQ(menu(), (QStringList{"01/02/2003", "12/12/2001"}));
}

TEST_F(RecentDatesTest, PickingAnEntryOnlyFillsTheDateBox)
{
    setRecent(1, "12/12/2001");
    setRecent(2, "1-2-03");
    load();
    window->lblHIDDENpreset->setText("x = 1/1/2001");
    window->findChild<QMenu*>("menuRecent")->actions().at(1)->trigger();
    EXPECT_EQ(window->Text2->text(), "1-2-03");
    EXPECT_EQ(window->lblHIDDENpreset->text(), "lblHIDDENpreset");
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RecentDatesTest, HostileEntriesAreShownSafelyAndKeptWhole)
{
    const std::string huge(20000, '7');
    setRecent(1, "A&B");
    setRecent(2, huge);
    load();
    const QList<QAction*> items = window->findChild<QMenu*>("menuRecent")->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "A&&B");  // shown with a literal ampersand
    EXPECT_LT(items[1]->text().size(), 100);
    items[1]->trigger();
    EXPECT_EQ(window->Text2->text().toStdString(), huge);
}

}  // namespace
