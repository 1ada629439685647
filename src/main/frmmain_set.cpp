// The Set action: put the date of the date box into effect.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "datekeeper.h"
#include "errorreport.h"
#include "frmmain.h"
#include "keepermessages.h"
#include "presetline.h"
#include "refusalmessage.h"

void frmMain::cmdSet_Click()
{
    const DateText& dates = services_.dates;
    const QString text = Text2->text();
    const QDate wanted = dates.parse(text);
    if (!wanted.isValid()) {
        reportSetFailure(text, AppError::typeMismatch());
        return;
    }
    realDate();

    const QDate inEffect = dates.parse(lblHIDDENtoday->text());
    if (!inEffect.isValid()) {
        reportSetFailure(text, AppError::typeMismatch());
        return;
    }
    if (wanted == inEffect) {
        showMessage(QStringLiteral("Nothing changed ..."));
        focusDateBox();
        return;
    }

    const AppError error = services_.keeper->setDate(DateText::toCivil(wanted));
    if (error && error.number != kErrUnconfirmed) {
        reportSetFailure(text, error);
        return;
    }
    watchGuard();
    // The window's state is whole before the message waits for its Ok: a
    // date handed over meanwhile builds on it. Not confirmed counts as done:
    // Reset and every closing road put the real date back.
    const QString message =
        error ? unconfirmedMessage(dates.format(wanted)) : QStringLiteral("Date is now:  ") + todayText();
    cmdReset->setEnabled(true);
    lblHIDDENtoday->setText(dates.format(wanted));
    if (wanted == dates.parse(Text1->text()))
        cmdReset->setEnabled(false);

    // A picked preset is remembered by its own date text, trimmed; a typed
    // date exactly as typed.
    const QString marker = lblHIDDENpreset->text();
    const QString recent = marker != QLatin1String("lblHIDDENpreset")
                               ? Get_After_isGelijkAan(1, marker).trimmed()
                               : text;
    RecentList_Store(recent);
    showMessage(message);
}

void frmMain::reportSetFailure(const QString& text, const AppError& error)
{
    if (text.isEmpty()) {
        showMessage(QStringLiteral("Please enter a date ..."));
        focusDateBox();
    } else if (!services_.dates.isDate(text)) {
        showMessage(QStringLiteral("That date is not in an acceptable format!"));
        focusDateBox();
    } else if (const QString notChanged = notChangedMessage(error); !notChanged.isEmpty()) {
        showMessage(notChanged);
    } else if (error.number == kErrPermissionDenied) {
        showMessage(refusalMessage(error));
    } else {
        const QString report = errorReport(error, QStringLiteral("frmMain, cmdSet"));
        answerHanded(report);
        services_.dialogs->MsgBox(report, MsgStyle::OkOnly,
                                  QStringLiteral("Error"), QString::fromStdString(error.helpFile),
                                  error.helpContext);
    }
}
