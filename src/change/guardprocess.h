#pragma once
// What the guard does for itself, in its own process: kept apart from the
// program's side (guard.h), so that the one file that may hold the right to
// set the clock carries none of the code that starts or finds it.

#include <cstdint>

// Keeps Ctrl-C at the terminal and a hang-up from ending it before the
// program has, and lets go of what it inherited by chance.
void prepareGuard();
#ifdef _WIN32
// Returns once the program (pid, its processStartTime) has ended, by
// whatever means.
void waitForProgramEnd(std::int64_t pid, std::uint64_t pidStart);
#endif
