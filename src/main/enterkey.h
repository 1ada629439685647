#pragma once
// Enter the same under every platform theme. GNOME's theme counts Return and
// Enter among the keys that press a button, so a check box toggles and a group
// box swallows the key before it reaches the window or the dialog; a box's
// own signal and a filter on the controls that would take it do not depend on
// where the key travels.

class QLineEdit;
class QPushButton;
class QWidget;

// Enter in `box` presses `button`, while it is enabled.
void pressOnEnter(QLineEdit* box, QPushButton* button);
// Enter on `control` (a check box, or a button for itself) presses `button`,
// while it is enabled, and does nothing else.
void pressOnEnter(QWidget* control, QPushButton* button);
