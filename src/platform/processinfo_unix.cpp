// Placeholder until process identity lands.
#include "processinfo.h"

#include <unistd.h>

std::int64_t currentProcessId() { return ::getpid(); }
std::uint64_t processStartTime(std::int64_t) { return 0; }
std::string currentBootId() { return {}; }
