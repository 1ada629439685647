// Putting the real date back: Reset, Exit, every way the window closes, and
// the day shift of the date box.

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QCheckBox>

#include <cstdio>

#include "datekeeper.h"
#include "frmmain.h"
#include "keepermessages.h"
#include "registry.h"

QDate frmMain::realDate()
{
    // One notion of now: the instant at start-up plus the boot-clock time
    // since, dated in the time zone now in force, whatever the wall clock
    // was set to. A zone change westward can move it back a day.
    const DateText& dates = services_.dates;
    const QDate now = DateText::toQDate(services_.keeper->realDate());
    const QDate held = dates.parse(lblHIDDENorgdate->text());
    if (!now.isValid() || !held.isValid() || now == held)
        return held;

    const QString text = dates.format(now);
    // When the real date was in effect, it still is: the clock ran on too.
    if (dates.parse(lblHIDDENtoday->text()) == held)
        lblHIDDENtoday->setText(text);
    Text1->setText(text);
    lblHIDDENorgdate->setText(text);
    return now;
}

void frmMain::cmdReset_Click()
{
    const DateText& dates = services_.dates;
    realDate();
    const QDate wanted = dates.parse(Text2->text());
    if (wanted.isValid() && wanted == dates.parse(Text1->text())) {
        showMessage(QStringLiteral("Nothing to restore ..."));
        focusDateBox();
        return;
    }

    if (AppError error = restoreRealDate()) {
        reportFailedRestore(error);
        return;
    }
    // The window's state is whole before the message waits for its Ok: the
    // tray and the notice show the real date meanwhile.
    const QString today = todayText();
    Text1->setText(today);
    Text2->setText(today);
    lblHIDDENtoday->setText(today);
    cmdReset->setEnabled(false);
    showMessage(QStringLiteral("Date restored to:  ") + today);
    focusDateBox();
}

AppError frmMain::restoreRealDate()
{
    realDate();
    const AppError error = services_.keeper->restore().clock;
    // A guard found ended on the way back has been replaced: watch the new one.
    watchGuard();
    // Sync is on again: a later failure to resume it is news again.
    if (!services_.keeper->syncPaused())
        syncFailureSaid_ = false;
    return error;
}

void frmMain::reportFailedRestore(const AppError& error)
{
    // Never silent: the user has to know the clock is still wrong.
    const QString text = error.number == kErrUnconfirmed
                             ? unconfirmedRestoreMessage(error, Text1->text())
                             : QStringLiteral("The real date could not be put back (Error %1 - %2).\r\n"
                                              "Please set the system date to %3 yourself.")
                                   .arg(error.number)
                                   .arg(QString::fromLocal8Bit(error.description.c_str()), Text1->text());
    if (quiet_) {
        std::fprintf(stderr, "ravodor: %s\n", qPrintable(QString(text).replace(QLatin1String("\r\n"), QLatin1String(" "))));
        return;
    }
    services_.dialogs->MsgBox(text, MsgStyle::Exclamation, QStringLiteral("Ravodor says:"));
}

void frmMain::reportSyncNotResumed(const AppError& error)
{
    // Once is enough: the way out it names stays the same until sync is on.
    if (syncFailureSaid_)
        return;
    syncFailureSaid_ = true;
    const QString text = syncNotResumedMessage(error);
    if (quiet_) {
        std::fprintf(stderr, "ravodor: %s\n", qPrintable(text));
        return;
    }
    services_.dialogs->MsgBox(text, MsgStyle::Exclamation, QStringLiteral("Ravodor says:"));
}

void frmMain::cmdExit_Click()
{
    close();
}

void frmMain::closeQuietly()
{
    quiet_ = true;
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // A close box or signal during an authorisation prompt: once the set
    // under way has ended, the closing steps can put its date back.
    if (services_.keeper->busy()) {
        event->ignore();
        QTimer::singleShot(100, this, &QWidget::close);
        return;
    }
    event->accept();
    // isDateRestored's own close request is part of the closing under way.
    if (closing_)
        return;
    closing_ = true;
    Form_QueryUnload();
    Form_Unload();
}

void frmMain::Form_QueryUnload()
{
    HKEY key = nullptr;
    CreateKey(HKEY_CURRENT_USER, settingsKey(), &key);
    SetKeyValue(key, "", "StartAltered", Check1->isChecked() ? "1" : "0");
    RegCloseKey(key);
    isDateRestored();
}

void frmMain::isDateRestored()
{
    realDate();
    // Sync left paused by a resume that failed is tried again, without news
    // of a date that was real all along.
    const bool dateAway = todayText() != Text1->text() || services_.keeper->altered();
    if (dateAway || services_.keeper->syncPaused()) {
        if (AppError error = restoreRealDate()) {
            restoreFailed_ = true;
            reportFailedRestore(error);
        }
        else {
            lblHIDDENtoday->setText(todayText());
            if (dateAway && strQuitSignal != QLatin1String("SignalFromTimer!") && !quiet_)
                showMessage(QStringLiteral("Date restored to:  ") + todayText());
        }
    }
    close();
}

void frmMain::Form_Unload()
{
    emit ending();
    // Whoever started the program learns that the clock is still wrong.
    services_.endProcess(restoreFailed_ ? 1 : 0);
}

bool frmMain::calcDate(int numberOfDays)
{
    const DateText& dates = services_.dates;
    const QDate from = dates.parse(Text2->text());
    if (!from.isValid())
        return false;
    const QDate to = from.addDays(numberOfDays);
    if (!DateText::inRange(to))
        return false;
    Text2->setText(dates.format(to));
    return true;
}
