#include "comeforward.h"

#include <QWidget>

void comeForward(QWidget* window, const QString& activationToken)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    window->activateWindow();
    // Once only, and never handed on to a program started from here.
    qunsetenv("XDG_ACTIVATION_TOKEN");
}
