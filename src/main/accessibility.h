#pragma once
// What a screen reader is told about the windows beyond Qt's defaults:
// menu items without the blanks that pad their captions, and nothing of the
// controls that are never shown or only decorate.

class QString;
class QWidget;

// A caption as it should be spoken: no access-key marker, no padding.
QString spokenName(const QString& caption);

// Takes a widget out of the accessibility tree: its parent no longer lists it.
void keepFromAccessibility(QWidget* widget);

// Lets menu items with padded captions be named by spokenName(). Once per
// program; the main window calls it when it builds its menus.
void installAccessibility();
