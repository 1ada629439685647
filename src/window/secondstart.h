#pragma once
// A start that finds the lock taken: it hands its date to the running
// window, or asks it forward, or says who keeps it out.

#include "commandline.h"

class SingleInstance;

// The exit code; what the user must know goes to stderr.
int secondStart(SingleInstance& single, const CommandLine& commandLine);
