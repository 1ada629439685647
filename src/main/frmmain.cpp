#include "frmmain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "accessibility.h"
#include "controls.h"
#include "datekeeper.h"
#include "enterkey.h"
#include "keepermessages.h"
#include "registry.h"
#include "settingskey.h"
#include "steadywindows.h"
#include "twips.h"

namespace {

const QString kTitle = QStringLiteral("Ravodor");
const QString kNoPreset = QStringLiteral("lblHIDDENpreset");

}  // namespace

frmMain::frmMain(Services& services, QWidget* parent) : QMainWindow(parent), services_(services)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kTitle);
    installAccessibility();
    installSteadyWindows();
    createControls();
    createMenus();
    setTabOrder();
    // Whatever Set or Reset did to the date in effect, the tray shows it.
    for (QPushButton* button : {cmdSet, cmdReset})
        connect(button, &QPushButton::clicked, this, &frmMain::showAlteredState);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);

    setFixedSize(sizeHint());
}

void frmMain::createControls()
{
    // Dialog-sized text, as the layout's twips were drawn for.
    QFont small = font();
    small.setPointSizeF(8.25);
    setFont(small);

    auto* client = new QWidget(this);
    client->setFixedSize(twips(this, 3855), twips(this, 2355));
    setCentralWidget(client);

    Frame1 = named(new QGroupBox(client), "Frame1");
    placeTwips(Frame1, 90, 0, 3660, 1860);

    Label2 = named(new QLabel(QStringLiteral("Real date"), Frame1), "Label2");
    placeTwips(Label2, 210, 300, 840, 225);
    Label1 = named(new QLabel(QStringLiteral("Alter date"), Frame1), "Label1");
    placeTwips(Label1, 210, 645, 840, 210);

    Text1 = named(new QLineEdit(Frame1), "Text1");
    placeTwips(Text1, 1035, 270, 1320, 285);
    setBoxColours(Text1, QColor(255, 0, 0), QColor(255, 255, 255), true);
    // Shown, never typed into: out of the Tab chain, and a click goes on to
    // the date box (eventFilter).
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setContextMenuPolicy(Qt::NoContextMenu);
    Text1->installEventFilter(this);
    Label2->setBuddy(Text1);

    Text2 = named(new QLineEdit(Frame1), "Text2");
    placeTwips(Text2, 1035, 615, 1320, 285);
    setBoxColours(Text2, QColor(0, 192, 0), palette().color(QPalette::ButtonText), true);
    Text2->setToolTip(QStringLiteral(" Enter a date here "));
    connect(Text2, &QLineEdit::textChanged, this, &frmMain::Text2_Change);
    Label1->setBuddy(Text2);

    cmdSet = named(new QPushButton(QStringLiteral("&Set"), Frame1), "cmdSet");
    placeTwips(cmdSet, 2430, 615, 1035, 315);
    cmdSet->setToolTip(QStringLiteral(" Activate new date / Right click for 'Quickset' options "));
    cmdSet->setDefault(true);
    cmdSet->installEventFilter(this);
    connect(cmdSet, &QPushButton::clicked, this, &frmMain::cmdSet_Click);

    cmdReset = named(new QPushButton(QStringLiteral("&Reset to actual date"), Frame1), "cmdReset");
    placeTwips(cmdReset, 210, 1020, 3255, 315);
    connect(cmdReset, &QPushButton::clicked, this, &frmMain::cmdReset_Click);

    cmdAbout = named(new QPushButton(QStringLiteral("A&bout"), Frame1), "cmdAbout");
    placeTwips(cmdAbout, 210, 1380, 1035, 315);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);

    cmdHide = named(new QPushButton(QStringLiteral("&Hide"), Frame1), "cmdHide");
    placeTwips(cmdHide, 1320, 1380, 1035, 315);
    connect(cmdHide, &QPushButton::clicked, this, &frmMain::cmdHide_Click);

    cmdExit = named(new QPushButton(QStringLiteral("E&xit"), Frame1), "cmdExit");
    placeTwips(cmdExit, 2430, 1380, 1035, 315);
    cmdExit->setToolTip(QStringLiteral(" Right click for auto-quit "));
    cmdExit->installEventFilter(this);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);

    // A focused button takes Enter itself; anywhere else Enter presses Set.
    for (QPushButton* button : {cmdSet, cmdReset, cmdAbout, cmdHide, cmdExit})
        button->setAutoDefault(true);
    pressOnEnter(Text2, cmdSet);

    Check1 = named(new QCheckBox(QStringLiteral("Change date on startup"), client), "Check1");
    placeTwips(Check1, 300, 1980, 3195, 225);
    Check1->setToolTip(QStringLiteral(
        " Let Ravodor automatically change the system date next time it starts"
        " (it will use the last executed 'Alter date' setting) "));
    pressOnEnter(Check1, cmdSet);

    // State holders below the client area, never shown.
    lblHIDDENorgdate = named(new QLabel(QStringLiteral("lblHIDDENorgdate"), client), "lblHIDDENorgdate");
    lblHIDDENtoday = named(new QLabel(QStringLiteral("lblHIDDENtoday"), client), "lblHIDDENtoday");
    lblHIDDENpreset = named(new QLabel(kNoPreset, client), "lblHIDDENpreset");
    int top = 2445;
    for (QLabel* label : {lblHIDDENorgdate, lblHIDDENtoday, lblHIDDENpreset}) {
        placeTwips(label, 300, top, 3195, 195);
        label->setVisible(false);
        keepFromAccessibility(label);
        top += top == 2445 ? 240 : 255;
    }
}

void frmMain::createMenus()
{
    menuPreset = named(menuBar()->addMenu(QStringLiteral("&Preset")), "menuPreset");
    menuPreset->menuAction()->setObjectName(QStringLiteral("menuPreset"));
    // The list is read afresh each time the menu opens, before it shows.
    connect(menuPreset, &QMenu::aboutToShow, this, &frmMain::menuPreset_Click);

    menuPickaPreset = named(menuPreset->addAction(QStringLiteral("&Pick a preset")), "menuPickaPreset");
    connect(menuPickaPreset, &QAction::triggered, this, &frmMain::menuPickaPreset_Click);
#ifndef Q_OS_WIN
    // Needs libfaketime, which Windows does not have.
    menuRunProgram = named(menuPreset->addAction(QStringLiteral("&Run a program at this date\u2026")), "menuRunProgram");
    connect(menuRunProgram, &QAction::triggered, this, &frmMain::menuRunProgram_Click);
#endif
    named(menuPreset->addSeparator(), "menuSeperator0");
    menuRecent = named(menuPreset->addMenu(QStringLiteral("Recent Dates")), "menuRecent");
    menuRecent->menuAction()->setObjectName(QStringLiteral("menuRecent"));

    QAction* first = named(menuRecent->addAction(QStringLiteral("Empty")), "menuRecDocs");
    first->setData(QStringLiteral("Empty"));
    first->setEnabled(false);
    connect(first, &QAction::triggered, this, [this] { menuRecDocs_Click(0); });
    menuRecDocs.append(first);

    createQuicksetMenu();
    createAutoquitMenu();
}

void frmMain::setTabOrder()
{
    const QList<QWidget*> order{Label2, Label1, Text1, Text2, cmdSet, cmdReset, cmdAbout, cmdHide, cmdExit, Check1};
    for (int i = 3; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMain::Form_Load()
{
    DateKeeper& keeper = *services_.keeper;
    keeper.onSyncNotResumed = [this](const AppError& error) { reportSyncNotResumed(error); };
    // A program that ended with the date altered is put right before the
    // real date is taken from the clock.
    const Recovery recovery = keeper.recover();
    watchGuard();
    const DateText& dates = services_.dates;
    if (!recovery.nothingToTell())
        showMessage(recoveryMessage(recovery, dates));
    startDate_ = dates.parse(dates.format(DateText::toQDate(keeper.realDate())));
    const QString startText = dates.format(startDate_);

    Text1->setText(startText);
    menuPreset_Click();
    const QString newest = menuRecDocs[0]->data().toString();
    Text2->setText(newest != QLatin1String("Empty") ? newest : startText);
    lblHIDDENorgdate->setText(startText);
    lblHIDDENtoday->setText(Text1->text());

    HKEY key = nullptr;
    CreateKey(HKEY_CURRENT_USER, settingsKey(), &key);
    std::string stored;
    GetKeyValue(key, "", "StartAltered", stored);
    // A value that is not a 16-bit integer counts as off.
    bool isNumber = false;
    const qint16 option = fromStoreText(stored).trimmed().toShort(&isNumber);
    Check1->setChecked(isNumber && option != 0);
    RegCloseKey(key);

    if (!Check1->isChecked()) {
        cmdReset->setEnabled(false);
        return;
    }
    cmdReset->setEnabled(true);
    // An entry that is not a date has nothing to apply.
    const QDate wanted = dates.parse(Text2->text());
    if (wanted.isValid() && wanted != dates.parse(Text1->text()))
        cmdSet_Click();
    showAlteredState();
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Activate();
}

void frmMain::Form_Activate()
{
    focusDateBox();
}

void frmMain::focusDateBox()
{
    Text2->setFocus(Qt::OtherFocusReason);
    SetSelected();
}

void frmMain::SetSelected()
{
    // While a closed dialog hands activation back (asynchronously) the
    // application's focus is still there: this window's own is what counts.
    QWidget* focused = QApplication::focusWidget();
    if (!focused || focused->window() != this)
        focused = focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focused))
        edit->setSelection(0, edit->text().size());
}

void frmMain::Text2_Change()
{
    lblHIDDENpreset->setText(kNoPreset);
}

void frmMain::cmdHide_Click()
{
    setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The real date is never typed into: the date box takes over, and
            // the real date box draws no caret or selection of its own.
            Text2->setFocus(Qt::OtherFocusReason);
            return true;
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return true;
        default:
            return false;
        }
    }
    if (watched != cmdSet && watched != cmdExit)
        return QMainWindow::eventFilter(watched, event);
    auto* button = static_cast<QWidget*>(watched);
    QMenu* menu = watched == cmdSet ? menuQuickset : menuAutoquit;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        // A disabled button takes no presses (Exit during a countdown).
        if (press->button() != Qt::RightButton || !button->isEnabled())
            return false;
        menu->exec(press->globalPosition().toPoint());
        return true;
    }
    case QEvent::KeyPress: {
        // The keyboard's way to the same popup: the Menu key or Shift+F10,
        // with the popup under the button.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (!menuKey && !shiftF10)
            return false;
        if (button->isEnabled())
            menu->exec(button->mapToGlobal(QPoint(0, button->height())));
        return true;
    }
    case QEvent::ContextMenu:
        // The platform's own event for those keys: answered by the key press.
        return static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    default:
        return false;
    }
}

void frmMain::showMessage(const QString& text)
{
    answerHanded(text);
    // A message waits for its Ok; what the desktop shows of the date must not.
    showAlteredState();
    services_.dialogs->MsgBox(text, MsgStyle::OkOnly, QStringLiteral("Ravodor says:"));
}

QString frmMain::todayText() const
{
    return services_.dates.format(DateText::toQDate(services_.clock->today()));
}

std::string frmMain::settingsKey() const
{
    return settingsKeyPath(services_.exeBaseName);
}
