// This boot's and this machine's ids on Linux: in a file of their own, so
// that the guard, which needs only the process functions, carries none of them.

#include "processinfo.h"

#include <fstream>
#include <string>

std::string currentBootId()
{
    std::ifstream file("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(file, id);
    return id;
}

std::string currentMachineId()
{
    std::ifstream file("/etc/machine-id");
    std::string id;
    std::getline(file, id);
    return id;
}
