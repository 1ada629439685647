// The tray icon, or the notification where there is no tray, that shows an altered clock.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "alteredtray.h"
#include "frmmain.h"

void frmMain::showAlteredState()
{
    if (!tray_) {
        tray_ = new AlteredTray(this, cmdReset, cmdExit, services_.trayAvailable);
        connect(this, &frmMain::ending, tray_, &AlteredTray::programEnding);
    }
    const DateText& dates = services_.dates;
    const QDate inEffect = dates.parse(lblHIDDENtoday->text());
    const QDate real = dates.parse(Text1->text());
    if (inEffect.isValid() && real.isValid() && inEffect != real)
        tray_->showAltered(lblHIDDENtoday->text(), Text1->text());
    else
        tray_->hide();
}
