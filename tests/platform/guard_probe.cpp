// Plays the program for the guard tests: writes a restore record as the
// date keeper does, starts the guard, sets the (preloaded, fake) clock and
// then ends as told. Only guard_unix_test starts it, without the right to
// set the clock and with the fake clock preloaded.
//
//   guard_probe GUARD MODE      MODE: wait | segv | abort | normal | child
//
// Prints "ready" once the date is set; "child" first starts `sleep`, which
// outlives it, and prints its pid as child_pid=.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <spawn.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "clock.h"
#include "clockright.h"
#include "guard.h"
#include "processinfo.h"
#include "restorerecord.h"

extern char** environ;

int main(int argc, char** argv)
{
    if (argc != 3 || mayHoldClockRight()) {
        std::fprintf(stderr, "guard_probe: bad call, or the right to set the clock is held\n");
        return 2;
    }
    const std::string mode = argv[2];
    // No core dump to write: the guard is timed from the end.
    prctl(PR_SET_DUMPABLE, 0);

    const auto clock = makeSystemClock();
    RestoreRecord record;
    record.anchorWallNs = clock->nowNs();
    record.anchorBootNs = clock->bootNs();
    record.bootId = currentBootId();
    record.inEffect = {2031, 3, 15};
    record.pid = currentProcessId();
    record.pidStart = processStartTime(record.pid);
    RecordStore store("Software\\Zaduziro\\ravodor");
    if (AppError error = store.write(record)) {
        std::fprintf(stderr, "record: %s\n", error.description.c_str());
        return 3;
    }
    const auto guard = makeGuardProcess(argv[1], "ravodor");
    if (!guard->start()) {
        std::fprintf(stderr, "the guard did not start\n");
        return 4;
    }
    if (AppError error = clock->setDate(record.inEffect)) {
        std::fprintf(stderr, "set: %s\n", error.description.c_str());
        return 5;
    }
    if (mode == "child") {
        char sleepName[] = "sleep";
        char seconds[] = "30";
        char* sleepArgv[] = {sleepName, seconds, nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, "sleep", nullptr, nullptr, sleepArgv, environ) != 0)
            return 6;
        std::printf("child_pid=%ld\n", static_cast<long>(child));
    }
    std::printf("ready\n");
    std::fflush(stdout);

    if (mode == "segv")
        std::raise(SIGSEGV);
    if (mode == "abort")
        std::abort();
    if (mode == "normal") {
        // The closing steps: the real date back, then the record removed.
        const AppError restored = clock->setInstant(record.realInstantAt(clock->bootNs()));
        return restored || store.remove() ? 7 : 0;
    }
    for (;;)
        pause();
}
