// The guard that outlives the window: when it ends while a date is altered,
// a new one takes over at once, and the user hears when none can.

#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

#include "datekeeper.h"
#include "frmmain.h"
#include "keepermessages.h"

void frmMain::watchGuard()
{
    const int fd = services_.keeper->guardEndFd();
    if (guardWatch_ && guardWatch_->socket() == fd)
        return;
    delete guardWatch_;
    guardWatch_ = fd < 0 ? nullptr : new QSocketNotifier(fd, QSocketNotifier::Read, this);
    if (guardWatch_)
        connect(guardWatch_, &QSocketNotifier::activated, this, &frmMain::guardEnded);
}

void frmMain::guardEnded()
{
    // A restore that replaced the guard meanwhile left none to watch.
    if (!guardWatch_)
        return;
    // Its descriptor goes with it: stop watching before a new one starts.
    guardWatch_->setEnabled(false);
    DateKeeper& keeper = *services_.keeper;
    if (keeper.busy()) {
        // A request under way is answered first, as not confirmed.
        QTimer::singleShot(200, this, &frmMain::guardEnded);
        return;
    }
    guardWatch_->deleteLater();
    guardWatch_ = nullptr;
    if (AppError error = keeper.guardEnded()) {
        const QString text = guardLostMessage(error);
        if (quiet_)
            std::fprintf(stderr, "ravodor: %s\n", qPrintable(text));
        else
            services_.dialogs->MsgBox(text, MsgStyle::Exclamation, QStringLiteral("Ravodor says:"));
    }
    watchGuard();
}
