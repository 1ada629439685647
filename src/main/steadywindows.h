#pragma once
// Fixed-size windows that survive a request to fill the screen. On Wayland Qt
// draws the title bar itself, and Qt 6.4's draws a maximise button on every
// window, fixed-size or not; a compositor that is then told the window keeps
// its size ends the connection (weston does), and with it the program. So a
// fixed-size window lets the maximised or full-screen size be taken, and
// goes back to its own size and state at once.

// Watches every top-level window of the application from now on; once.
void installSteadyWindows();
