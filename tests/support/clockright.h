#pragma once
// A last guard of a test's child processes, whatever their caller forgot:
// none of them may run with the right to set the real clock.

#include <cstdlib>
#include <fstream>
#include <string>

// CAP_SYS_TIME's bit in the capability sets.
constexpr int kCapSysTime = 25;

inline bool mayHoldClockRight()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> kCapSysTime) & 1U;
    }
    return true;
}
