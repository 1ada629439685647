#pragma once
// Who is running: enough to tell a live program from a reused process id.

#include <cstdint>
#include <string>

std::int64_t currentProcessId();
// The process's start time in the system's own units; 0 when it does not run.
std::uint64_t processStartTime(std::int64_t pid);
// This boot's id; "" where the system has none.
std::string currentBootId();
// This machine's id, so a settings folder shared by two machines keeps
// their records apart; "" where the system has none.
std::string currentMachineId();
// The running executable and its folder, from the system rather than
// argv[0], which the caller chooses; "" when unknown.
std::string currentProgramPath();
std::string currentProgramFolder();
// Started with the right to set the clock or in secure execution: where a
// test's seam (a file named by the environment) must not be honoured. Asked
// of the kernel directly: a file to read could be out of reach (no
// descriptor left). Unix only.
bool mayUseClockRight();
