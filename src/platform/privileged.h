#pragma once
// A program that may set the clock must not let whoever starts it load code
// into it: with raised rights (a file capability, setuid) the environment's
// plugin and library settings are not to be trusted.

// True when the program runs with rights its caller does not have.
bool startedWithRaisedRights();

// Removes the environment variables through which a caller could load
// plugins or change where they come from (QT_*, QML*).
void dropUntrustedEnvironment();
