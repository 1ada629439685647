#pragma once
// A tray icon for as long as a date other than the real one is in effect, so
// an altered clock is not forgotten once the window is out of sight; where
// the desktop has no tray, a desktop notification (AlteredNotice) instead.

#include <QObject>

#include <functional>
#include <memory>

class AlteredNotice;
class QAbstractButton;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

class AlteredTray : public QObject {
    Q_OBJECT
public:
    // The menu's Reset and Exit press the window's own buttons. available:
    // whether the desktop has a tray (Qt's answer when empty).
    AlteredTray(QWidget* window, QAbstractButton* reset, QAbstractButton* exit, std::function<bool()> available);
    ~AlteredTray() override;

    // Shows the icon naming both dates; where there is no tray yet, it
    // appears once one does, and the notification says it meanwhile.
    void showAltered(const QString& inEffect, const QString& real);
    void hide();
    // The program ends at once after this: nothing of it stays on the desktop.
    void programEnding();

    // How often a tray that may come or go is looked for while altered.
    static constexpr int kWatchMs = 2000;

private:
    void showWindow(const QString& activationToken = {});
    void menuOpening();
    void create();
    void watch();
    void noticeOrNot(bool trayThere);
    void resetFromOutside();

    QString toolTip_;
    QString inEffect_, real_;
    bool altered_ = false;
    bool trayThere_ = false;
    QTimer* watch_ = nullptr;
    QWidget* window_;
    QAbstractButton* reset_;
    QAbstractButton* exit_;
    std::function<bool()> available_;
    std::unique_ptr<QMenu> menu_;
    QAction* resetItem_ = nullptr;
    QAction* exitItem_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
    AlteredNotice* notice_ = nullptr;
};
