#pragma once
// Brings a hidden or minimised window to the front. On Wayland a window may
// take the focus only with a token that the compositor gave the one who asked
// (xdg-activation): a launcher's to a second start, a notification service's
// to its click. Qt 6.4 reads it from XDG_ACTIVATION_TOKEN when the window asks
// to be activated.

#include <QString>

class QWidget;

void comeForward(QWidget* window, const QString& activationToken);
