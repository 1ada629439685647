#pragma once
// Qt's Wayland plugin ends the process with _exit(1) when the connection to
// the compositor breaks, after one warning: the warning is the last moment
// the real date can be put back from this side.

#include <QtMessageHandler>

// While it lives, that warning runs the last-chance restore first.
class WaylandLossRestore {
public:
    WaylandLossRestore();
    ~WaylandLossRestore();
    WaylandLossRestore(const WaylandLossRestore&) = delete;
    WaylandLossRestore& operator=(const WaylandLossRestore&) = delete;

private:
    QtMessageHandler previous_;
};
