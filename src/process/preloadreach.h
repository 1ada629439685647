#pragma once
// Whether a library preloaded through the environment (LD_PRELOAD) reaches a
// program when it is started: the dynamic loader ignores it for programs it
// does not load, and for those started with raised rights.

#include <string>

struct PreloadReach {
    enum Obstacle {
        None,               // reached, or nothing here can tell otherwise
        StaticallyLinked,   // an ELF file without an interpreter (PT_INTERP)
        SetId,              // setuid or setgid
        FileCapabilities,   // gains capabilities when started
    };
    Obstacle obstacle = None;
    std::string program;  // where it is: the command, or the interpreter of a script
};

// Follows a script's "#!" interpreter as the kernel does. A file that
// cannot be read or is no program is left to starting it, which says why.
PreloadReach preloadReach(const std::string& path);

// The interpreter a script names on its "#!" line, as the kernel reads it;
// "" for a file that is no script or cannot be read.
std::string scriptInterpreter(const std::string& path);
