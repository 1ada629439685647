// Plays the program for guard_unix_test, which starts it without the right to
// set the clock and with the fake clock preloaded: writes a restore record as
// the date keeper does, has the guard set the date, prints "ready" and ends
// as told.
//
//   guard_probe MODE      MODE: wait | segv | abort | normal | child
//
// "child" first starts `sleep`, which outlives it, and prints child_pid=.

#include <csignal>
#include <cstdio>
#include <cstdlib>
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

namespace {

int fail(const char* step)
{
    std::fprintf(stderr, "guard_probe: %s failed\n", step);
    return 3;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || mayHoldClockRight())
        return fail("a call without the right to set the clock");
    const std::string mode = argv[1];
    prctl(PR_SET_DUMPABLE, 0);  // no core dump to write: the guard is timed from the end

    const auto clock = makeSystemClock();
    RestoreRecord record;
    record.anchorWallNs = clock->nowNs();
    record.anchorBootNs = clock->bootNs();
    record.bootId = currentBootId();
    record.inEffect = {2031, 3, 15};
    record.pid = currentProcessId();
    record.pidStart = processStartTime(record.pid);
    RecordStore store("Software\\Zaduziro\\ravodor");
    const auto changer = makeGuardedChanger(*clock, "ravodor");
    if (store.write(record) || changer->setDate(record.inEffect, false))
        return fail("writing the record or setting the date");
    if (mode == "child") {
        char* sleepArgv[] = {const_cast<char*>("sleep"), const_cast<char*>("30"), nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, "sleep", nullptr, nullptr, sleepArgv, environ) != 0)
            return fail("starting sleep");
        std::printf("child_pid=%ld\n", static_cast<long>(child));
    }
    std::printf("ready\n");
    std::fflush(stdout);

    if (mode == "segv")
        std::raise(SIGSEGV);
    if (mode == "abort")
        std::abort();
    if (mode == "normal")  // the closing steps: the real date back, then the record removed
        return changer->undo(false) || store.remove() ? fail("closing") : 0;
    for (;;)
        pause();
}
