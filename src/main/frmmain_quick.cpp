// The quick actions: Quickset day shifts and the auto-quit countdown, on the
// menu bar and as the right-click menus of Set and Exit.

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "datekeeper.h"
#include "frmmain.h"

namespace {

struct Shift {
    const char* name;
    const char* caption;
    int days;
};

// Captions pad the count with blanks; the Minus "14 days" ends in one too.
const Shift kMinus[] = {
    {"menuMinus1day", "    1 day", -1},       {"menuMinus14days", "  14 days ", -14},
    {"menuMinus21days", "  21 days", -21},    {"menuMinus30days", "  30 days", -30},
    {"menuMinus60days", "  60 days", -60},    {"menuMinus90days", "  90 days", -90},
    {"menuMinus120days", "120 days", -120},   {"menuMinus150days", "150 days", -150},
    {"menuMinus180days", "180 days", -180},   {"menuMinus365days", "365 days", -365},
    {"menuMinus730days", "730 days", -730},
};
const Shift kPlus[] = {
    {"menuPlus1day", "    1 day", 1},       {"menuPlus14days", "  14 days", 14},
    {"menuPlus21days", "  21 days", 21},    {"menuPlus30days", "  30 days", 30},
    {"menuPlus60days", "  60 days", 60},    {"menuPlus90days", "  90 days", 90},
    {"menuPlus120days", "120 days", 120},   {"menuPlus150days", "150 days", 150},
    {"menuPlus180days", "180 days", 180},   {"menuPlus365days", "365 days", 365},
    {"menuPlus730days", "730 days", 730},
};

struct Delay {
    const char* name;
    const char* caption;
    qint16 seconds;
};

const Delay kSeconds[] = {
    {"menuAuto1second", "Auto-quit in   1 second", 1},     {"menuAuto2seconds", "Auto-quit in   2 seconds", 2},
    {"menuAuto3seconds", "Auto-quit in   3 seconds", 3},   {"menuAuto4seconds", "Auto-quit in   4 seconds", 4},
    {"menuAuto5seconds", "Auto-quit in   5 seconds", 5},   {"menuAuto10seconds", "Auto-quit in 10 seconds", 10},
    {"menuAuto15seconds", "Auto-quit in 15 seconds", 15},  {"menuAuto30seconds", "Auto-quit in 30 seconds", 30},
};
const Delay kMinutes[] = {
    {"menuAuto1minute", "Auto-quit in   1 minute", 60},     {"menuAuto2minute", "Auto-quit in   2 minutes", 120},
    {"menuAuto3minutes", "Auto-quit in   3 minutes", 180},  {"menuAuto4minutes", "Auto-quit in   4 minutes", 240},
    {"menuAuto5minutes", "Auto-quit in   5 minutes", 300},  {"menuAuto6minutes", "Auto-quit in   6 minutes", 360},
    {"menuAuto7minutes", "Auto-quit in   7 minutes", 420},  {"menuAuto8minutes", "Auto-quit in   8 minutes", 480},
    {"menuAuto9minutes", "Auto-quit in   9 minutes", 540},  {"menuAuto10minutes", "Auto-quit in 10 minutes", 600},
};

QMenu* namedMenu(QMenu* menu, const char* name)
{
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

}  // namespace

void frmMain::createQuicksetMenu()
{
    menuQuickset = namedMenu(menuBar()->addMenu(QStringLiteral("&Quickset")), "menuQuickset");
    QMenu* menuMinus = namedMenu(menuQuickset->addMenu(QStringLiteral("Minus")), "menuMinus");
    menuQuickset->addSeparator()->setObjectName(QStringLiteral("menuSeperator1"));
    QMenu* menuPlus = namedMenu(menuQuickset->addMenu(QStringLiteral("Plus")), "menuPlus");

    auto fill = [this](QMenu* menu, const auto& shifts) {
        for (const Shift& shift : shifts) {
            QAction* item = menu->addAction(QString::fromLatin1(shift.caption));
            item->setObjectName(QLatin1String(shift.name));
            const int days = shift.days;
            connect(item, &QAction::triggered, this, [this, days] { quicksetChosen(days); });
        }
    };
    fill(menuMinus, kMinus);
    fill(menuPlus, kPlus);
}

void frmMain::createAutoquitMenu()
{
    menuAutoquit = namedMenu(menuBar()->addMenu(QStringLiteral("&Autoquit")), "menuAutoquit");
    auto fill = [this](const auto& delays) {
        for (const Delay& delay : delays) {
            QAction* item = menuAutoquit->addAction(QString::fromLatin1(delay.caption));
            item->setObjectName(QLatin1String(delay.name));
            const qint16 seconds = delay.seconds;
            connect(item, &QAction::triggered, this, [this, seconds] { startTimer(seconds); });
        }
    };
    fill(kSeconds);
    menuAutoquit->addSeparator()->setObjectName(QStringLiteral("menuSeperator2"));
    fill(kMinutes);
}

void frmMain::quicksetChosen(int numberOfDays)
{
    if (calcDate(numberOfDays)) {
        cmdSet_Click();
        showAlteredState();
        return;
    }
    // No date to shift: the Set action's own words, and nothing changed.
    showMessage(Text2->text().isEmpty() ? QStringLiteral("Please enter a date ...")
                                        : QStringLiteral("That date is not in an acceptable format!"));
    focusDateBox();
}

void frmMain::startTimer(qint16 Seconds)
{
    cmdExit->setEnabled(false);
    setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
    // A second choice starts a fresh one-second period.
    Timer1->start();
    intCountdown = Seconds;
}

void frmMain::Timer1_Timer()
{
    // The countdown waits for a set that waits for a prompt.
    if (services_.keeper->busy())
        return;
    if (intCountdown <= 1) {
        Timer1->stop();
        strQuitSignal = QStringLiteral("SignalFromTimer!");
        isDateRestored();
        return;
    }
    --intCountdown;
    setWindowTitle(QStringLiteral("Countdown: ") + QString::number(intCountdown) + QStringLiteral(" sec"));
}
