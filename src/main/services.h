#pragma once
// What the windows get from outside: the program builds the real services,
// tests hand in fakes.

#include <functional>
#include <memory>
#include <string>

#include "clock.h"
#include "datetext.h"
#include "dialogs.h"

class DateKeeper;

class QWidget;

struct Services {
    SystemClock* clock = nullptr;
    // Every set and restore goes through it: record, guard, time sync.
    std::shared_ptr<DateKeeper> keeper;
    MessageBoxes* dialogs = nullptr;
    DateText dates;
    // Ends the process at once; tests observe it instead.
    std::function<void(int exitCode)> endProcess;
    // Opens a web address with the desktop's handler (owner window for its UI).
    std::function<bool(QWidget* owner, const std::string& address)> openAddress;
    // Whether the desktop has a system tray; empty: ask Qt.
    std::function<bool()> trayAvailable;
    // The executable's base name, the last part of the settings key.
    std::string exeBaseName = "ravodor";
    // The program's own folder, the fallback for the presets folder.
    std::string programFolder;
};
