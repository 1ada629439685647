// The presets window: loading and saving the file, Add, Pick, Remove, the
// tooltip, and the ways the window and the program end.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "frmpresets.h"
#include "refusalmessage.h"
#include "testenv.h"

namespace {

class PresetsTest : public MainWindowTest {
protected:
    QString folder() const { return folders.dataHome() + "/Zaduziro software/Ravodor"; }
    QString path() const { return folder() + "/ravodor.ini"; }
    void writeFile(const QByteArray& content)
    {
        QDir().mkpath(folder());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray readFile() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // A presets window, loaded as the menu item loads it, without showing it.
    frmPresets& open()
    {
        if (!window)
            show();
        presets = std::make_unique<frmPresets>(*window);
        presets->Form_Load();
        return *presets;
    }
    template <typename T>
    T* in(const char* name) const
    {
        T* found = presets->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList entries() const
    {
        QStringList list;
        auto* box = in<QListWidget>("List1");
        for (int i = 0; i < box->count(); ++i)
            list << frmPresets::entry(box->item(i));
        return list;
    }
    void add(const QString& description, const QString& date)
    {
        in<QLineEdit>("txtPresetDescription")->setText(description);
        in<QLineEdit>("txtPresetDate")->setText(date);
        presets->cmdAdd_Click();
    }

    // Runs `act` once the modal presets window is up (after its load step),
    // and closes it should `act` leave it open.
    void whenOpen(std::function<void(frmPresets*)> act)
    {
        auto* poll = new QTimer(window.get());
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        QObject::connect(poll, &QTimer::timeout, poll, [poll, started, act] {
            auto* dialog = qobject_cast<frmPresets*>(QApplication::activeModalWidget());
            if (!dialog && started->elapsed() < 5000)
                return;
            poll->deleteLater();
            if (!dialog) {
                ADD_FAILURE() << "the presets window did not open";
                return;
            }
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        poll->start(10);
    }

    std::unique_ptr<frmPresets> presets;
};

TEST_F(PresetsTest, TheFirstOpeningCreatesTheFileWithTheTestPreset)
{
    open();
    EXPECT_EQ(readFile(), QByteArray("Testpreset = 12/12/2001\r\n"));
    EXPECT_EQ(entries(), QStringList{"Testpreset = 12/12/2001"});
    EXPECT_EQ(in<QListWidget>("List1")->currentRow(), 0);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(presets->windowTitle(), "Presets");
}

TEST_F(PresetsTest, AnEmptyFileStaysEmptyAndGetsTheNotice)
{
    writeFile("");
    open();
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(readFile(), QByteArray());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "No previous presets were found.\r\nYou can add presets by using the \"Add\" "
                                     "section in the next window...");
    EXPECT_EQ(dialogs.shown[0].style, 64);
    EXPECT_EQ(dialogs.shown[0].title, "Ravodor Presets");
}

TEST_F(PresetsTest, EmptyLinesAreDroppedAndTheRestWrittenBackWithCrLf)
{
    writeFile("a = 01/01/2001\r\n\r\n   \r\nb = 02/02/2002\rc\nd = 3/3/2003");
    open();
    EXPECT_EQ(entries(), (QStringList{"a = 01/01/2001", "   ", "b = 02/02/2002", "c\nd = 3/3/2003"}));
    presets->cmdDone_Click();
    EXPECT_EQ(readFile(), QByteArray("a = 01/01/2001\r\n   \r\nb = 02/02/2002\r\nc\nd = 3/3/2003\r\n"));
}

TEST_F(PresetsTest, BytesThatAreNoTextInTheSystemsEncodingSurviveASave)
{
    writeFile("caf\xE9 = 1/1/2001\r\nb = 2/2/2002\r\n");  // Latin-1, not UTF-8
    open();
    add("c", "3/3/2003");
    presets->cmdDone_Click();
    EXPECT_EQ(readFile(), QByteArray("caf\xE9 = 1/1/2001\r\nb = 2/2/2002\r\nc = 3/3/2003\r\n"));
}

TEST_F(PresetsTest, AVeryLongEntryIsShownShortButKeptWhole)
{
    const QByteArray longEntry = "x = " + QByteArray(5000, 'y');
    writeFile(longEntry + "\r\n");
    open();
    auto* list = in<QListWidget>("List1");
    EXPECT_LT(list->item(0)->text().size(), 300);
    EXPECT_EQ(entries(), QStringList{QString::fromLatin1(longEntry)});
    presets->cmdPick_Click();
    EXPECT_EQ(window->lblHIDDENpreset->text().size(), longEntry.size());
    EXPECT_EQ(readFile(), longEntry + "\r\n");
}

TEST_F(PresetsTest, AFileOfOnlyEmptyLinesGivesAnEmptyListWithoutNotice)
{
    writeFile("\r\n\r\n");
    open();
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(in<QListWidget>("List1")->currentRow(), -1);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PresetsTest, AddProvesTheDateAndPutsTheRealDateBack)
{
    open();
    add("Birthday", "1-2-03");
    EXPECT_EQ(entries(), (QStringList{"Testpreset = 12/12/2001", "Birthday = 1-2-03"}));
    EXPECT_EQ(clock.sets, (std::vector<QDate>{QDate(2003, 2, 1), QDate(2004, 1, 10)}));
    EXPECT_TRUE(in<QLineEdit>("txtPresetDescription")->text().isEmpty());
    EXPECT_TRUE(in<QLineEdit>("txtPresetDate")->text().isEmpty());
    EXPECT_EQ(presets->focusWidget(), in<QLineEdit>("txtPresetDescription"));
    EXPECT_TRUE(dialogs.shown.empty());

    add("Birthday", "1-2-03");  // twice is allowed
    add("  spaced ", " 12/12/2001 ");
    EXPECT_EQ(entries().mid(1), (QStringList{"Birthday = 1-2-03", "Birthday = 1-2-03", "  spaced  =  12/12/2001 "}));
}

TEST_F(PresetsTest, AddPutsBackTheDateThatWasInEffect)
{
    show();
    window->Text2->setText("15/06/2002");
    window->cmdSet_Click();
    open();
    add("x", "12/12/2001");
    EXPECT_EQ(clock.date(), QDate(2002, 6, 15));
    EXPECT_EQ(clock.sets.size(), 3u);
}

TEST_F(PresetsTest, AddRefusesWhatItCannotProve)
{
    open();
    add("", "12/12/2001");
    EXPECT_EQ(dialogs.texts(), QStringList{"Please enter a short description ..."});
    EXPECT_EQ(presets->focusWidget(), in<QLineEdit>("txtPresetDescription"));

    const struct {
        const char* date;
        const char* message;
    } cases[] = {{"", "Please enter a date ..."}, {"31/02/2001", "That date is not in an acceptable format!"}};
    for (const auto& c : cases) {
        dialogs.clear();
        add("x", c.date);
        EXPECT_EQ(dialogs.texts(), QStringList{c.message});
        EXPECT_EQ(presets->focusWidget(), in<QLineEdit>("txtPresetDate"));
        EXPECT_EQ(in<QLineEdit>("txtPresetDate")->selectedText(), c.date);
    }

    dialogs.clear();
    clock.failWith(AppError::permissionDenied());
    add("x", "12/12/2001");
    EXPECT_EQ(dialogs.texts(), QStringList{refusalMessage(AppError::permissionDenied())});
    EXPECT_EQ(in<QLineEdit>("txtPresetDescription")->text(), "x");
    EXPECT_EQ(in<QLineEdit>("txtPresetDate")->text(), "12/12/2001");

    dialogs.clear();
    clock.failWith(AppError{5, "Invalid procedure call or argument", {}, 0});
    add("x", "12/12/2001");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Error");
    EXPECT_EQ(dialogs.shown[0].text.split("\r\n"),
              (QStringList{"An Error was generated:", "", "Description:", "Error 5 - Invalid procedure call or argument",
                           "frmPresets, cmdAdd", "", "Please inform the author with the error description above."}));

    EXPECT_EQ(entries(), QStringList{"Testpreset = 12/12/2001"});
    EXPECT_TRUE(clock.sets.empty());
}

TEST_F(PresetsTest, PickHandsTheDateAndTheLineToTheMainWindowAndCloses)
{
    show();
    whenOpen([](frmPresets* dialog) {
        EXPECT_TRUE(dialog->isModal());
        dialog->findChild<QLineEdit*>("txtPresetDescription")->setText("Later");
        dialog->findChild<QLineEdit*>("txtPresetDate")->setText("1/2/2003");
        dialog->cmdAdd_Click();
        dialog->findChild<QListWidget*>("List1")->setCurrentRow(0);
        dialog->cmdPick_Click();
    });
    window->menuPickaPreset_Click();
    EXPECT_EQ(window->Text2->text(), "12/12/2001");
    EXPECT_EQ(window->lblHIDDENpreset->text(), "Testpreset = 12/12/2001");
    EXPECT_EQ(readFile(), QByteArray("Testpreset = 12/12/2001\r\nLater = 1/2/2003\r\n"));
    EXPECT_EQ(clock.date(), QDate(2004, 1, 10));
    EXPECT_EQ(window->Text2->selectedText(), "12/12/2001");  // back in the main window's date box
}

TEST_F(PresetsTest, PickAndRemoveNeedAnEntry)
{
    writeFile("a = 1/1/2001\r\n");
    open();
    in<QListWidget>("List1")->clearSelection();
    presets->cmdPick_Click();
    presets->cmdRemove_Click();
    EXPECT_EQ(dialogs.texts(), (QStringList{"Select an item from the list first...    ",
                                            "Select an item from the list first...    "}));
    EXPECT_EQ(dialogs.shown[0].style, 48);
    EXPECT_EQ(entries(), QStringList{"a = 1/1/2001"});

    writeFile("");
    open();
    dialogs.clear();
    presets->cmdPick_Click();
    presets->cmdRemove_Click();
    EXPECT_EQ(dialogs.texts(),
              (QStringList{"Erm... your list is empty...    ", "Erm... your list is empty...    "}));
    EXPECT_EQ(window->Text2->text(), "10/01/2004");
}

TEST_F(PresetsTest, RemoveAsksFirstAndTheFileChangesOnlyOnClosing)
{
    writeFile("a = 1/1/2001\r\nb = 2/2/2002\r\n");
    open();
    in<QListWidget>("List1")->setCurrentRow(1);
    dialogs.answers = {AnswerNo};
    presets->cmdRemove_Click();
    EXPECT_EQ(entries(), (QStringList{"a = 1/1/2001", "b = 2/2/2002"}));
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure you want to remove this item?");
    EXPECT_EQ(dialogs.shown[0].style, 36);
    EXPECT_EQ(dialogs.shown[0].title, "Removal");

    dialogs.answers = {AnswerYes};
    presets->cmdRemove_Click();
    EXPECT_EQ(entries(), QStringList{"a = 1/1/2001"});
    EXPECT_TRUE(in<QListWidget>("List1")->selectedItems().isEmpty());
    EXPECT_EQ(readFile(), QByteArray("a = 1/1/2001\r\nb = 2/2/2002\r\n"));
    presets->cmdDone_Click();
    EXPECT_EQ(readFile(), QByteArray("a = 1/1/2001\r\n"));
}

TEST_F(PresetsTest, TheTooltipShowsTheEntryUnderThePointer)
{
    writeFile("a = 1/1/2001\r\nb = 2/2/2002\r\n");
    open();
    presets->show();
    auto* list = in<QListWidget>("List1");
    presets->List1_MouseMove(list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(list->toolTip(), " b = 2/2/2002 ");
    presets->List1_MouseMove(list->visualItemRect(list->item(1)).center() + QPoint(0, 200));
    EXPECT_EQ(list->toolTip(), "");

    QTest::mouseMove(list->viewport(), list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(list->toolTip(), " a = 1/1/2001 ");
}

TEST_F(PresetsTest, AFailedSaveKeepsTheOldFileAndSaysSo)
{
    writeFile("a = 1/1/2001\r\n");
    open();
    add("b", "2/2/2002");
    // No more room on the disk for anything but what is there.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 4;
    setrlimit(RLIMIT_FSIZE, &tiny);
    presets->cmdDone_Click();
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(readFile(), QByteArray("a = 1/1/2001\r\n"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith("The presets could not be saved"));
    EXPECT_TRUE(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size() == 1);  // no temporary left behind
}

TEST_F(PresetsTest, AFailedSaveDuringAQuietCloseGoesToStandardErrorNotToABox)
{
    // A folder where the file should be: no file can be renamed over it.
    QDir().mkpath(path());
    open();
    add("b", "2/2/2002");
    dialogs.clear();
    testing::internal::CaptureStderr();
    window->closeQuietly();
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_NE(said.find("The presets could not be saved"), std::string::npos) << said;
    EXPECT_EQ(endCount, 1);
}

TEST_F(PresetsTest, TheFileIsForItsOwnerOnlyHoweverItComesAbout)
{
    // Created at the first opening, then saved over a file others could read.
    for (bool existed : {false, true}) {
        if (existed)
            ::chmod(QFile::encodeName(path()).constData(), 0644);
        open();
        presets->cmdDone_Click();
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << existed;
    }
}

TEST_F(PresetsTest, AFileThatCannotBeCreatedGivesAnEmptyListAndTheNotice)
{
    // A plain file where the folders should go: neither the data folder nor
    // the program's folder can hold the presets.
    QFile blocker(folders.dataHome());
    QDir().mkpath(QFileInfo(folders.dataHome()).path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    services.programFolder = (folders.dataHome() + "/program/").toStdString();
    open();
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(dialogs.texts(), QStringList{"No previous presets were found.\r\nYou can add presets by using the "
                                           "\"Add\" section in the next window..."});
    presets->cmdDone_Click();
    EXPECT_EQ(dialogs.shown.size(), 1u);  // nothing to lose, nothing more to say
}

TEST_F(PresetsTest, ACountdownEndingWithTheWindowOpenSavesTheListFirst)
{
    show();
    whenOpen([this](frmPresets* dialog) {
        dialog->findChild<QLineEdit*>("txtPresetDescription")->setText("Late");
        dialog->findChild<QLineEdit*>("txtPresetDate")->setText("3/3/2003");
        dialog->cmdAdd_Click();
        window->startTimer(1);
        window->Timer1_Timer();
        EXPECT_EQ(endCount, 1);
        EXPECT_EQ(readFile(), QByteArray("Testpreset = 12/12/2001\r\nLate = 3/3/2003\r\n"));
    });
    window->menuPickaPreset_Click();
}

}  // namespace
