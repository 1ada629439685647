// Hostile settings and files: values that are no numbers or dates or are
// huge, a settings folder that cannot be made, a data folder that is a file,
// and presets files of megabyte lines or binary junk. The program starts,
// sets and restores the date, tells the user what matters, and keeps every
// valid entry.

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <random>
#include <thread>

#include "frmpresets.h"
#include "testenv.h"

namespace {

const QString kNotADate = QStringLiteral("That date is not in an acceptable format!");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    ASSERT_EQ(file.write(content), content.size());
}

// One preset line of 1 MB, and one of 1 MB in two-byte characters.
QByteArray megabyteLine() { return "Long = " + QByteArray(1024 * 1024, '7'); }
QByteArray wideMegabyteLine() { return QString(512 * 1024, QChar(0x00E9)).toUtf8(); }

// Bytes of every value, with NULs, stray CRs and LFs and broken UTF-8.
QByteArray junk(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

class HostileTest : public MainWindowTest {
protected:
    QString dataFolder() const { return folders.dataHome() + "/Zaduziro software/Ravodor"; }
    QString presetsPath() const { return dataFolder() + "/ravodor.ini"; }

    // The presets window as the menu item opens it, shown.
    frmPresets& openPresets()
    {
        presets = std::make_unique<frmPresets>(*window);
        presets->Form_Load();
        presets->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(presets.get()));
        return *presets;
    }
    QListWidget* list() const { return presets->findChild<QListWidget*>("List1"); }
    QStringList entries() const
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts << frmPresets::entry(list()->item(i));
        return texts;
    }
    void pick(const QString& entry)
    {
        QList<QListWidgetItem*> found;
        for (int i = 0; i < list()->count(); ++i) {
            if (frmPresets::entry(list()->item(i)) == entry)
                found << list()->item(i);
        }
        ASSERT_EQ(found.size(), 1) << qPrintable(entry.left(80));
        list()->setCurrentItem(found[0]);
        presets->cmdPick_Click();
    }
    void exitProgram()
    {
        QTest::mouseClick(child<QPushButton>("cmdExit"), Qt::LeftButton);
        EXPECT_EQ(endCount, 1);
    }

    std::unique_ptr<frmPresets> presets;
};

TEST_F(HostileTest, StartUpOptionThatIsNoSmallNumberStartsQuietlyAndIsRepairedOnExit)
{
    struct Case {
        std::string value;
        bool on;
    };
    const std::string digits(100 * 1024, '1');
    const std::string blanksAroundOne = std::string(50 * 1024, ' ') + "1" + std::string(50 * 1024, ' ');
    const QByteArray bytes = junk(100 * 1024, 7);
    const Case cases[] = {
        {"abc", false},
        {"99999", false},
        {"-1", true},
        {digits, false},
        {blanksAroundOne, true},
        {std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), false},
        {std::string(2 * 1024 * 1024, '1'), false},  // more than the store reads
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.substr(0, 20) + "... (" + std::to_string(c.value.size()) + " bytes)");
        putSetting("", "StartAltered", c.value);
        setRecent(1, "12/12/2001");
        endCount = 0;
        dialogs.clear();
        clock.sets.clear();
        show();
        EXPECT_EQ(child<QCheckBox>("Check1")->isChecked(), c.on);
        EXPECT_EQ(text("Text1"), "10/01/2004");
        EXPECT_EQ(text("Text2"), "12/12/2001");
        if (c.on) {
            // The option works: the newest date is set and confirmed.
            EXPECT_EQ(clock.sets, std::vector<QDate>{QDate(2001, 12, 12)});
            EXPECT_EQ(dialogs.texts(), QStringList{"Date is now:  12/12/2001"});
        } else {
            EXPECT_TRUE(clock.sets.empty());
            EXPECT_TRUE(dialogs.shown.empty());
        }
        exitProgram();
        EXPECT_EQ(getSetting("", "StartAltered"), std::optional<std::string>(c.on ? "1" : "0"));
        EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    }
}

TEST_F(HostileTest, StartUpOptionHeldByAFolderCountsAsOffAndTheFolderIsLeftAlone)
{
    const QString value = folders.configHome() + "/Zaduziro/ravodor/StartAltered";
    writeAll(value + "/inside", "1");
    show();
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    child<QCheckBox>("Check1")->setChecked(true);
    exitProgram();
    EXPECT_TRUE(QFileInfo(value).isDir());
    EXPECT_EQ(readAll(value + "/inside"), QByteArray("1"));
}

TEST_F(HostileTest, RecentEntriesThatAreNoDatesOrHugeAreShownKeptWholeAndRefusedInWords)
{
    const std::string huge(40 * 1024, '9');
    const std::string broken = "\xff\xfe 12/12/2001 \xc0\x8d";
    putSetting("", "StartAltered", "1");
    setRecent(1, "not a date");
    setRecent(2, huge);
    setRecent(3, broken);
    setRecent(4, "31/12/2001");
    setRecent(5, "&&&");
    setRecent(6, "1/1/10000");
    show();
    // The newest entry is no date: nothing is set at start-up, and nothing said.
    EXPECT_TRUE(clock.sets.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(text("Text2"), "not a date");

    const QList<QAction*> items = child<QMenu>("menuRecent")->actions();
    ASSERT_EQ(items.size(), 6);
    for (QAction* item : items)
        EXPECT_LE(item->text().size(), 64);
    EXPECT_EQ(items[1]->data().toString().size(), static_cast<int>(huge.size()));

    // The huge entry is picked and refused in words; nothing is set or stored.
    items[1]->trigger();
    window->cmdSet_Click();
    EXPECT_EQ(dialogs.texts(), QStringList{kNotADate});
    EXPECT_TRUE(clock.sets.empty());
    EXPECT_EQ(recent(2), huge);

    // The valid entry still works and moves to the head; every other entry
    // moves down whole.
    dialogs.clear();
    items[3]->trigger();
    window->cmdSet_Click();
    EXPECT_EQ(clock.sets, std::vector<QDate>{QDate(2001, 12, 31)});
    EXPECT_EQ(dialogs.texts(), QStringList{"Date is now:  31/12/2001"});
    EXPECT_EQ(recent(1), "31/12/2001");
    EXPECT_EQ(recent(2), "not a date");
    EXPECT_EQ(recent(3), huge);
    EXPECT_EQ(recent(4), broken);
    EXPECT_EQ(recent(5), "&&&");
    EXPECT_EQ(recent(6), "1/1/10000");

    dialogs.clear();
    exitProgram();
    EXPECT_EQ(dialogs.texts(), QStringList{"Date restored to:  10/01/2004"});
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
}

TEST_F(HostileTest, SettingsFolderThatCannotBeMadeStopsTheSetBeforeItHappens)
{
    // A plain file where a folder of the path should be: creating fails for
    // root too, unlike missing write rights. Without the restore record there
    // would be no way back, so nothing is set.
    const QString blocker = QDir::cleanPath(folders.dataHome() + "/../blocker");
    writeAll(blocker, "not a folder");
    qputenv("XDG_CONFIG_HOME", (blocker + "/config").toLocal8Bit());

    show();
    EXPECT_EQ(text("Text1"), "10/01/2004");
    EXPECT_EQ(text("Text2"), "10/01/2004");
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_TRUE(dialogs.shown.empty());

    window->Text2->setText("12/12/2001");
    window->cmdSet_Click();
    EXPECT_EQ(clock.attempts, 0);
    ASSERT_EQ(dialogs.texts().size(), 1);
    EXPECT_TRUE(dialogs.texts()[0].startsWith("Ravodor could not write down how to put the real date back ("));
    EXPECT_TRUE(dialogs.texts()[0].endsWith("). The date was not changed."));
    EXPECT_FALSE(child<QPushButton>("cmdReset")->isEnabled());

    dialogs.clear();
    exitProgram();
    EXPECT_EQ(clock.attempts, 0);
    EXPECT_EQ(readAll(blocker), QByteArray("not a folder"));
}

TEST_F(HostileTest, ApplicationDataFolderThatIsAFileSendsThePresetsToTheProgramFolder)
{
    const QString program = QDir::cleanPath(folders.dataHome() + "/../program");
    ASSERT_TRUE(QDir().mkpath(program));
    services.programFolder = (program + "/").toStdString();
    show();

    // The base folder itself a file, then the maker's folder inside it.
    const QString blockers[] = {folders.dataHome(), folders.dataHome() + "/Zaduziro software"};
    for (const QString& blocker : blockers) {
        SCOPED_TRACE(blocker.toStdString());
        QDir(folders.dataHome()).removeRecursively();
        QFile::remove(folders.dataHome());
        QFile::remove(program + "/ravodor.ini");
        writeAll(blocker, "keep me");

        openPresets();
        EXPECT_EQ(entries(), QStringList{"Testpreset = 12/12/2001"});
        presets->findChild<QLineEdit*>("txtPresetDescription")->setText("Xmas");
        presets->findChild<QLineEdit*>("txtPresetDate")->setText("25/12/2001");
        presets->cmdAdd_Click();
        pick("Xmas = 25/12/2001");
        EXPECT_EQ(window->Text2->text(), "25/12/2001");
        EXPECT_EQ(readAll(program + "/ravodor.ini"), QByteArray("Testpreset = 12/12/2001\r\nXmas = 25/12/2001\r\n"));
        EXPECT_EQ(readAll(blocker), QByteArray("keep me"));
    }
}

TEST_F(HostileTest, PresetsFileOfMegabyteLinesLoadsShowsAndKeepsEveryLine)
{
    const QByteArray content = "First = 1/1/2001\r\n" + megabyteLine() + "\r\n" + wideMegabyteLine() +
                               "\r\nLast = 2/2/2002\r\n";
    writeAll(presetsPath(), content);
    show();

    openPresets();
    ASSERT_EQ(list()->count(), 4);
    EXPECT_EQ(frmPresets::entry(list()->item(1)).toUtf8(), megabyteLine());
    EXPECT_EQ(frmPresets::entry(list()->item(2)).toUtf8(), wideMegabyteLine());
    EXPECT_EQ(list()->currentRow(), 0);

    // A huge entry holds no date the parser can reach: refused in words.
    pick(QString::fromUtf8(megabyteLine()));
    EXPECT_EQ(window->Text2->text(), "NOT FOUND");
    window->cmdSet_Click();
    EXPECT_EQ(dialogs.texts(), QStringList{kNotADate});
    EXPECT_TRUE(clock.sets.empty());
    EXPECT_EQ(readAll(presetsPath()), content);

    // The normal entries beside them still work.
    dialogs.clear();
    openPresets();
    pick("Last = 2/2/2002");
    window->cmdSet_Click();
    EXPECT_EQ(clock.sets, std::vector<QDate>{QDate(2002, 2, 2)});
    EXPECT_EQ(readAll(presetsPath()), content);
}

TEST_F(HostileTest, PresetsListWithAMegabyteEntryPaintsAndShowsItsTooltipQuickly)
{
    writeAll(presetsPath(), "First = 1/1/2001\r\n" + megabyteLine() + "\r\n");
    show();
    openPresets();
    ASSERT_EQ(list()->count(), 2);

    // Every repaint of the list (scrolling, hovering, focus) costs this.
    QElapsedTimer timer;
    timer.start();
    list()->viewport()->repaint();
    EXPECT_LT(timer.elapsed(), 250) << "one repaint of the list took " << timer.elapsed() << " ms";

    // Pointing at the huge entry shows it as the list's tooltip.
    const QPoint at = list()->visualItemRect(list()->item(1)).center();
    presets->List1_MouseMove(at);
    timer.restart();
    QHelpEvent help(QEvent::ToolTip, at, list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list()->viewport(), &help);
    EXPECT_LT(timer.elapsed(), 250) << "showing the tooltip took " << timer.elapsed() << " ms";
    QToolTip::hideText();
}

TEST_F(HostileTest, PresetsFileOfBinaryJunkLoadsAndKeepsItsValidEntries)
{
    const QByteArray content = junk(64 * 1024, 11) + "\r\nValid = 3/3/2003\r\n" + junk(64 * 1024, 12) +
                               "\r\nKerstmis = 25/12/2001\r\n" + junk(4096, 13);
    writeAll(presetsPath(), content);
    show();

    openPresets();
    const QStringList first = entries();
    EXPECT_TRUE(first.contains("Valid = 3/3/2003"));
    EXPECT_TRUE(first.contains("Kerstmis = 25/12/2001"));
    for (const QString& entry : first) {
        EXPECT_FALSE(entry.isEmpty());
        EXPECT_FALSE(entry.contains(QLatin1Char('\r')));
    }
    presets->cmdDone_Click();

    // What was written reads back as the same list, and a valid entry works.
    const QByteArray written = readAll(presetsPath());
    EXPECT_TRUE(written.contains("\r\nValid = 3/3/2003\r\n"));
    EXPECT_TRUE(written.contains("\r\nKerstmis = 25/12/2001\r\n"));
    openPresets();
    EXPECT_EQ(entries(), first);
    pick("Kerstmis = 25/12/2001");
    window->cmdSet_Click();
    EXPECT_EQ(clock.sets, std::vector<QDate>{QDate(2001, 12, 25)});
    EXPECT_EQ(readAll(presetsPath()), written);
}

TEST_F(HostileTest, PresetsFileThatIsAFolderGivesAnEmptyListAndIsLeftAlone)
{
    writeAll(presetsPath() + "/inside", "x");
    show();
    openPresets();
    EXPECT_TRUE(entries().isEmpty());
    presets->cmdDone_Click();
    EXPECT_TRUE(QFileInfo(presetsPath()).isDir());
    EXPECT_EQ(readAll(presetsPath() + "/inside"), QByteArray("x"));
    // Whatever is said, the window closed and the program goes on.
    EXPECT_FALSE(presets->isVisible());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(HostileTest, PresetsFileThatIsAFifoDoesNotHangTheWindow)
{
    ASSERT_TRUE(QDir().mkpath(dataFolder()));
    ASSERT_EQ(mkfifo(QFile::encodeName(presetsPath()).constData(), 0600), 0);
    show();
    // Nobody writes to the FIFO. Should opening wait for a writer, this one
    // comes after three seconds and lets it go on.
    std::promise<void> loaded;
    std::thread writer([path = QFile::encodeName(presetsPath()), done = loaded.get_future()] {
        if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
            return;
        const int fd = open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            close(fd);
    });
    QElapsedTimer timer;
    timer.start();
    presets = std::make_unique<frmPresets>(*window);
    presets->Form_Load();
    const qint64 ms = timer.elapsed();
    loaded.set_value();
    writer.join();
    EXPECT_LT(ms, 1000) << "opening the presets window waited " << ms << " ms for a writer";
    EXPECT_TRUE(entries().isEmpty());
    presets->cmdDone_Click();
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
