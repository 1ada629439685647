// The About window: what it shows, the year that follows the clock, and the
// two ways out, Ok and the home-page address.

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

#include "appicon.h"
#include "frmabout.h"
#include "testenv.h"

namespace {

struct OpenRequest {
    QWidget* owner = nullptr;
    std::string address;
    bool mainMinimised = false;  // at the moment of the request
    bool aboutOpen = false;      // likewise
};

class AboutTest : public MainWindowTest {
protected:
    AboutTest()
    {
        services.openAddress = [this](QWidget* owner, const std::string& address) {
            requests.push_back({owner, address, window && window->isMinimized(), owner && owner->isVisible()});
            return openSucceeds;
        };
    }

    template <typename T>
    static T* in(const QWidget& about, const char* name)
    {
        T* found = about.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QString caption(const QWidget& about, const char* name) { return in<QLabel>(about, name)->text(); }

    // Presses "A&bout" the way the program does, and acts on the modal window
    // from inside its exec(). False when no About window came up.
    bool whileAboutOpen(const std::function<void(frmabout&)>& act)
    {
        bool seen = false;
        QTimer actor;
        actor.setSingleShot(true);
        QObject::connect(&actor, &QTimer::timeout, [&] {
            if (auto* about = qobject_cast<frmabout*>(QApplication::activeModalWidget())) {
                seen = true;
                act(*about);
            }
        });
        // A window that fails to close would block the test for good.
        bool forced = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                forced = true;
                modal->close();
            }
        });
        actor.start(0);
        watchdog.start(5000);
        window->cmdAbout_Click();
        EXPECT_FALSE(forced) << "the About window stayed open";
        return seen;
    }

    // Moves the focus off the date box, so that getting it back shows.
    void lookAway()
    {
        window->Text2->deselect();
        child<QPushButton>("cmdExit")->setFocus();
        ASSERT_FALSE(window->Text2->hasFocus());
    }
    bool dateBoxSelectedWithFocus() const
    {
        return window->focusWidget() == window->Text2 && !window->Text2->text().isEmpty() &&
               window->Text2->selectedText() == window->Text2->text();
    }

    bool openSucceeds = true;
    std::vector<OpenRequest> requests;
};

TEST_F(AboutTest, ShowsTheTitleVersionAndNotices)
{
    load();
    frmabout about(services, window.get());
    about.Form_Load();

    EXPECT_EQ(about.objectName(), "frmabout");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(caption(about, "lblprogtitle"), "Ravodor");
    // Made from the project's version numbers, which are the program's 2.1.0.
    EXPECT_EQ(caption(about, "lblversion"), QStringLiteral("Version " RAVODOR_PROJECT_VERSION));
    EXPECT_EQ(caption(about, "lblversion"), "Version 2.1.0");
    EXPECT_FALSE(caption(about, "lblcopyright2").trimmed().isEmpty());
    EXPECT_EQ(caption(about, "lbltext1"), "");
    EXPECT_EQ(caption(about, "lbltext2"), "");
    EXPECT_EQ(caption(about, "lbltext3"), "Play and enjoy!");
    EXPECT_EQ(caption(about, "lbltext4"), "For updates and other freeware,");
    EXPECT_EQ(caption(about, "lbltext5"), "Visit my homepage at");
    EXPECT_TRUE(caption(about, "lblurl").startsWith("https://"));

    auto* url = in<QLabel>(about, "lblurl");
    EXPECT_EQ(url->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_EQ(url->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(about.cursor().shape(), Qt::ArrowCursor);

    auto* ok = in<QPushButton>(about, "cmdok");
    EXPECT_EQ(ok->text(), "&Ok");
    EXPECT_TRUE(ok->isDefault());
    for (const char* name : {"Line1", "Line2", "Line3", "Line4", "Line5"})
        EXPECT_EQ(in<QFrame>(about, name)->frameShape(), QFrame::HLine) << name;

    // Every control lies inside the window, none over another's text.
    const QRect inside = about.rect();
    QList<QRect> taken;
    for (QWidget* control : about.findChildren<QWidget*>()) {
        EXPECT_TRUE(inside.contains(control->geometry())) << control->objectName().toStdString();
        auto* label = qobject_cast<QLabel*>(control);
        if (label && label->text().isEmpty() && label->pixmap().isNull())
            continue;
        for (const QRect& other : taken)
            EXPECT_FALSE(other.intersects(control->geometry())) << control->objectName().toStdString();
        taken << control->geometry();
    }
}

TEST_F(AboutTest, TheCopyrightYearFollowsTheClockAtEveryShowing)
{
    load();
    frmabout about(services, window.get());
    about.Form_Load();
    EXPECT_TRUE(caption(about, "lblcopyright1").startsWith("Copyright"));
    EXPECT_TRUE(caption(about, "lblcopyright1").endsWith("2004")) << caption(about, "lblcopyright1").toStdString();

    ASSERT_FALSE(clock.setDate({2001, 12, 12}));
    about.Form_Load();
    EXPECT_TRUE(caption(about, "lblcopyright1").endsWith("2001")) << caption(about, "lblcopyright1").toStdString();
}

TEST_F(AboutTest, AfterTheProgramAltersTheDateTheNoticeShowsTheAlteredYear)
{
    show();
    window->Text2->setText("12/12/2001");
    window->cmdSet_Click();
    ASSERT_EQ(clock.date(), QDate(2001, 12, 12));

    QString notice;
    ASSERT_TRUE(whileAboutOpen([&](frmabout& about) {
        notice = caption(about, "lblcopyright1");
        about.cmdok_Click();
    }));
    EXPECT_TRUE(notice.endsWith("2001")) << notice.toStdString();
}

TEST_F(AboutTest, OkClosesAndLeavesTheMainWindowAsItWas)
{
    setRecent(1, "12/12/2001");
    show();
    const QStringList names{"Text1", "Text2", "lblHIDDENorgdate", "lblHIDDENtoday", "lblHIDDENpreset"};
    QStringList before;
    for (const QString& name : names)
        before << text(name.toLatin1().constData());
    const QString title = window->windowTitle();

    // Clicking Ok and pressing Enter (Ok is the default button) do the same.
    const std::function<void(frmabout&)> ways[] = {
        [](frmabout& about) { QTest::mouseClick(about.findChild<QPushButton*>("cmdok"), Qt::LeftButton); },
        [](frmabout& about) { QTest::keyClick(&about, Qt::Key_Return); },
    };
    for (const auto& close : ways) {
        lookAway();
        bool shownModal = false;
        ASSERT_TRUE(whileAboutOpen([&](frmabout& about) {
            shownModal = about.isVisible() && about.isModal() && about.parentWidget() == window.get();
            EXPECT_EQ(caption(about, "lblversion"), "Version 2.1.0");
            close(about);
        }));
        EXPECT_TRUE(shownModal);
        EXPECT_TRUE(window->findChildren<frmabout*>().isEmpty());

        EXPECT_FALSE(window->isMinimized());
        QStringList after;
        for (const QString& name : names)
            after << text(name.toLatin1().constData());
        EXPECT_EQ(after, before);
        EXPECT_EQ(window->windowTitle(), title);
        EXPECT_EQ(clock.attempts, 0);
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_TRUE(requests.empty());
        EXPECT_TRUE(dateBoxSelectedWithFocus());
    }
}

TEST_F(AboutTest, TheAddressMinimisesTheMainWindowOpensThePageAndCloses)
{
    show();
    for (bool opens : {true, false}) {
        SCOPED_TRACE(opens ? "the page opens" : "the page cannot be opened");
        openSucceeds = opens;
        requests.clear();
        window->showNormal();
        lookAway();

        const frmabout* opened = nullptr;
        QString address;
        ASSERT_TRUE(whileAboutOpen([&](frmabout& about) {
            opened = &about;
            auto* url = in<QLabel>(about, "lblurl");
            address = url->text();
            QTest::mouseClick(url, Qt::LeftButton);
        }));

        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].owner, opened);
        EXPECT_EQ(requests[0].address, address.toStdString());
        // In this order: the main window goes down, then the page is asked for,
        // then the About window closes.
        EXPECT_TRUE(requests[0].mainMinimised);
        EXPECT_TRUE(requests[0].aboutOpen);
        EXPECT_TRUE(window->isMinimized());
        EXPECT_TRUE(window->findChildren<frmabout*>().isEmpty());
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(clock.attempts, 0);
        EXPECT_TRUE(dateBoxSelectedWithFocus());
    }
}

TEST_F(AboutTest, OnlyALeftClickOnTheAddressCounts)
{
    show();
    frmabout about(services, window.get());
    about.Form_Load();
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QSignalSpy finished(&about, &QDialog::finished);
    auto* url = in<QLabel>(about, "lblurl");

    QTest::mouseClick(url, Qt::RightButton);
    QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(url->geometry().left() - 5, url->geometry().center().y()));
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(about.isVisible());
    EXPECT_FALSE(window->isMinimized());

    about.lblurl_Click();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].owner, &about);
    EXPECT_EQ(requests[0].address, url->text().toStdString());
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(AboutTest, TheProgramIconComesInEverySizeAndShowsInTheWindow)
{
    const QIcon icon = programIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size)) << size;
    }
    load();
    frmabout about(services, window.get());
    EXPECT_FALSE(in<QLabel>(about, "imgicon")->pixmap().isNull());
}

TEST_F(AboutTest, EnterSpaceAndAScreenReadersPressFollowTheLinkAsAClickDoes)
{
    show();
    const std::function<void(QWidget*)> ways[] = {
        [](QWidget* link) { QTest::keyClick(link, Qt::Key_Return); },
        [](QWidget* link) { QTest::keyClick(link, Qt::Key_Enter, Qt::KeypadModifier); },
        [](QWidget* link) { QTest::keyClick(link, Qt::Key_Space); },
        [](QWidget* link) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(link);
            accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        },
    };
    for (const auto& follow : ways) {
        requests.clear();
        window->showNormal();
        ASSERT_TRUE(whileAboutOpen([&](frmabout& about) {
            auto* link = in<QLabel>(about, "lblurl");
            link->setFocus();
            follow(link);
        }));
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].address, "https://www.example.org/ravodor");
        EXPECT_TRUE(requests[0].mainMinimised);
        EXPECT_TRUE(window->isMinimized());
    }
}

}  // namespace
