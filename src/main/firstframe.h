#pragma once
// Work that the first sight of the window need not wait for.

#include <functional>

class QWidget;

// Runs `then` once, after `window` has painted its first frame.
void afterFirstFrame(QWidget* window, std::function<void()> then);
