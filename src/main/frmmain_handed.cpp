// A date handed over by a later start of the program.

#include <QLineEdit>
#include <QTimer>

#include "datekeeper.h"
#include "frmmain.h"

void frmMain::setHandedDate(const QString& date, const HandedAnswer& answer)
{
    if (closing_) {
        answer(false, QStringLiteral("The window is closing; try again when it has closed."));
        return;
    }
    // One at a time, and never inside a set or restore that waits for the time service.
    if (services_.keeper->busy() || handedAnswer_) {
        QTimer::singleShot(100, this, [this, date, answer] { setHandedDate(date, answer); });
        return;
    }
    handedAnswer_ = answer;
    handedDate_ = date;
    Text2->setText(date);
    cmdSet_Click();
    showAlteredState();
    answerHanded(QString());
}

void frmMain::answerHanded(const QString& message)
{
    if (!handedAnswer_)
        return;
    const HandedAnswer answer = std::exchange(handedAnswer_, nullptr);
    const QDate wanted = services_.dates.parse(handedDate_);
    answer(wanted.isValid() && wanted == DateText::toQDate(services_.clock->today()), message);
}
