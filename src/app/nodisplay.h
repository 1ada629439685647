#pragma once
// A start that has no display to open the window on (an SSH login, a cron
// job) ends with one line that names the way without a window, instead of
// Qt's abort.

#include <QString>
#include <QtMessageHandler>

struct CommandLine;

// The line, naming the program as it was called.
QString noDisplayText(const QString& program);

// True when nothing names a display: neither DISPLAY nor WAYLAND_DISPLAY, nor
// -platform, -display or QT_QPA_PLATFORM. Always false where the desktop is
// no X11 or Wayland one.
bool noDisplayNamed(const CommandLine& commandLine);

// While it lives, a display that is named but cannot be opened ends the
// program with noDisplayText() after Qt's warnings (not its fatal words,
// which blame the installation), and kExitNoDisplay.
class DisplayFailureNote {
public:
    explicit DisplayFailureNote(const QString& program);
    ~DisplayFailureNote();
    DisplayFailureNote(const DisplayFailureNote&) = delete;
    DisplayFailureNote& operator=(const DisplayFailureNote&) = delete;

private:
    QtMessageHandler previous_;
};
