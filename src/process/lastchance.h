#pragma once
// A last chance to put the real date back however the process ends: a
// library that calls exit() (Qt's X11 plugin does when the display goes
// away) ends the program without closing its windows.

#include <functional>

class LastChance {
public:
    // `restore` runs once: on exit() or quick_exit() from anywhere, or when
    // this object goes out of scope, whichever comes first. It must show
    // nothing; should it hang, the process is ended after a few seconds.
    explicit LastChance(std::function<void()> restore);
    ~LastChance();

    LastChance(const LastChance&) = delete;
    LastChance& operator=(const LastChance&) = delete;
};

// Runs the restore of the living LastChance now, for a library that is about
// to end the process with _exit(), which runs no exit hooks (Qt's Wayland
// plugin does when the compositor goes away).
void lastChanceNow();

// Implemented per system (lastchance_unix.cpp / lastchance_win.cpp).
void registerExitHook(void (*hook)());
void limitTimeLeft(unsigned seconds);
