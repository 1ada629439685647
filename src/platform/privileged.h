#pragma once
// A program that may set the clock must not let whoever starts it load code
// into it: with raised rights (a file capability, setuid) the command line's
// toolkit options and the environment are not to be trusted.

// True when the program runs with rights its caller does not have.
bool startedWithRaisedRights();

// Cuts the environment down to what keptWithRaisedRights() allows.
void dropUntrustedEnvironment();

// Whether a variable survives dropUntrustedEnvironment().
bool keptWithRaisedRights(const char* name);

// The arguments the toolkit may see: all of them in an ordinary start, only
// the program's name with raised rights (its own options load plugins).
// `argc` is updated; the program parses its own options from the full argv.
char** argumentsForToolkit(int* argc, char** argv);
