#pragma once
// The parts of the program that `ravodor` loads only when they are asked
// for: the command line's QtCore part, --at's own (the only one that talks
// to the time service), and the window. Only argc and argv cross into a
// part: each has its own C++ library.

enum class Part {
    CommandLine,  // the parser of record, --help, every usage error, --only, --bisect, launchers
    At,           // --at without --only: the system clock, through the guard
    Window,       // the window, from the window's package
};

// The part's main with `argc` and `argv`; a part that is not installed is
// named with the package that holds it.
int runPart(Part part, int argc, char** argv);

// Each part's entry, the one name its library exports.
#if defined(__GNUC__) && !defined(_WIN32)
#define RAVODOR_PART_ENTRY extern "C" __attribute__((visibility("default")))
#else
#define RAVODOR_PART_ENTRY extern "C"
#endif
RAVODOR_PART_ENTRY int ravodor_commandline_main(int argc, char** argv);
RAVODOR_PART_ENTRY int ravodor_at_main(int argc, char** argv);
RAVODOR_PART_ENTRY int ravodor_window_main(int argc, char** argv);
