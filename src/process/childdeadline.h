#pragma once
// Ends a command that runs too long: once it has run for the time given it
// is asked to end (SIGTERM) and, still there a moment later, made to
// (SIGKILL). Only the command itself: programs it started and left behind
// go on, as with `timeout --foreground`.

#include "childcommand.h"

class ChildDeadline {
public:
    // Counts from now; `seconds` <= 0: no deadline.
    ChildDeadline(const ChildCommand& child, double seconds);
    ~ChildDeadline();
    ChildDeadline(const ChildDeadline&) = delete;
    ChildDeadline& operator=(const ChildDeadline&) = delete;

    // For ChildCommand::run() of `child`.
    ChildWatch watch();

    // True once the command has been asked to end.
    bool expired() const { return expired_; }

private:
    const ChildCommand& child_;
    int timer_ = -1;
    bool expired_ = false;
};
