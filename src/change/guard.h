#pragma once
// The guard: a small process without Qt that outlives the program and puts
// the real date back when the program ends without doing so (killed,
// crashed). On Linux it is also the only holder of the right to set the
// clock: the program asks it for every change (guardprotocol.h). On Windows
// the elevated program changes the clock itself and the guard restores from
// the restore record.

#include <cstdint>
#include <memory>
#include <string>

#include "datechanger.h"

// How the program changes the clock: through the guard on Linux, started
// with the first request; in-process on Windows, with the guard started
// beside it at the first change. `exeBaseName` names the settings key.
std::unique_ptr<DateChanger> makeGuardedChanger(SystemClock& clock, const std::string& exeBaseName);

// The guard's file: on Linux the installed one for the installed program,
// else the one in the build folder, both fixed when the program was built,
// so no caller can point the program at another. On Windows the one beside
// the program. "" when it is not there.
std::string guardExecutablePath();
