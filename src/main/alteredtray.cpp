#include "alteredtray.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include "alterednotice.h"
#include "comeforward.h"
#include "appicon.h"

AlteredTray::AlteredTray(QWidget* window, QAbstractButton* reset, QAbstractButton* exit,
                         std::function<bool()> available)
    : QObject(window), window_(window), reset_(reset), exit_(exit), available_(std::move(available))
{
    if (!available_)
        available_ = &QSystemTrayIcon::isSystemTrayAvailable;
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this, &AlteredTray::watch);
}

AlteredTray::~AlteredTray() = default;

void AlteredTray::showAltered(const QString& inEffect, const QString& real)
{
    altered_ = true;
    inEffect_ = inEffect;
    real_ = real;
    toolTip_ = QStringLiteral("Ravodor\nDate in effect: %1\nReal date: %2").arg(inEffect, real);
    if (icon_)
        icon_->setToolTip(toolTip_);
    if (!icon_ || !icon_->isVisible()) {
        trayThere_ = false;
        watch();
    } else {
        noticeOrNot(trayThere_);
    }
    // Qt has no signal for a tray that comes, or comes back after a restart.
    watch_->start();
}

void AlteredTray::hide()
{
    altered_ = false;
    if (watch_)
        watch_->stop();
    if (icon_)
        icon_->hide();
    if (notice_)
        notice_->withdraw();
}

void AlteredTray::programEnding()
{
    if (notice_)
        notice_->withdraw(true);
    hide();
}

void AlteredTray::watch()
{
    const bool there = available_();
    if (there && !trayThere_ && altered_) {
        if (!icon_)
            create();
        // Shown again, so that a tray that came back registers it anew.
        icon_->hide();
        icon_->setToolTip(toolTip_);
        icon_->show();
    }
    if (altered_ && (there != trayThere_ || !there))
        noticeOrNot(there);
    trayThere_ = there;
}

void AlteredTray::noticeOrNot(bool trayThere)
{
    if (trayThere) {
        if (notice_)
            notice_->withdraw();
        return;
    }
    if (!notice_)
        notice_ = new AlteredNotice(
            this, [this] { resetFromOutside(); }, [this](const QString& token) { showWindow(token); });
    notice_->showAltered(inEffect_, real_);
}

// As the tray's item: only what the window's button offers right now.
void AlteredTray::resetFromOutside()
{
    if (QApplication::activeModalWidget() == nullptr && reset_->isEnabled())
        reset_->click();
    else
        showWindow();
}

void AlteredTray::create()
{
    // A menu that is no child of the window: it opens while the window is
    // minimised or behind a modal one.
    menu_ = std::make_unique<QMenu>();
    menu_->setObjectName(QStringLiteral("menuTray"));
    resetItem_ = menu_->addAction(QStringLiteral("Reset to actual date"), reset_, &QAbstractButton::click);
    menu_->addAction(QStringLiteral("Show"), this, [this] { showWindow(); });
    exitItem_ = menu_->addAction(QStringLiteral("Exit"), exit_, &QAbstractButton::click);
    connect(menu_.get(), &QMenu::aboutToShow, this, &AlteredTray::menuOpening);

    icon_ = new QSystemTrayIcon(programIcon(), this);
    icon_->setObjectName(QStringLiteral("trayAltered"));
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showWindow();
    });
}

void AlteredTray::menuOpening()
{
    // Only what the window's buttons offer right now: not while another window
    // of the program waits for an answer, nor Exit during a countdown.
    const bool free = QApplication::activeModalWidget() == nullptr;
    resetItem_->setEnabled(free && reset_->isEnabled());
    exitItem_->setEnabled(free && exit_->isEnabled());
}

void AlteredTray::showWindow(const QString& activationToken)
{
    comeForward(window_, activationToken);
}
