#pragma once
// What a screen reader is told about the windows beyond Qt's defaults:
// menu items and descriptions without the blanks that pad their captions and
// tooltips, every menu item alike, and nothing of the controls that are never
// shown or only decorate.

class QString;
class QWidget;

// A caption as it should be spoken: no access-key marker, no padding.
QString spokenName(const QString& caption);

// Takes a widget out of the accessibility tree: its parent no longer lists it.
void keepFromAccessibility(QWidget* widget);

// Lets menu items be named by spokenName() and descriptions follow the
// tooltips without their padding. Once per program, before the first tooltip
// is set; the main window calls it first thing.
void installAccessibility();
