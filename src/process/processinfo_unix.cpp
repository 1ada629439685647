// Process identity on Linux, from /proc: the start time is in clock ticks
// since boot, so with the boot id it names one process for good.

#include "processinfo.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/syscall.h>
#include <unistd.h>

std::int64_t currentProcessId()
{
    return static_cast<std::int64_t>(getpid());
}

std::uint64_t processStartTime(std::int64_t pid)
{
    if (pid <= 0)
        return 0;
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return 0;
    // The name in parentheses may hold blanks and parentheses itself.
    const std::string::size_type close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string state;
    fields >> state;
    // A zombie has ended; only its parent has not looked yet.
    if (state.empty() || state == "Z" || state == "X" || state == "x")
        return 0;
    // State is field 3; the start time is field 22.
    std::string field;
    for (int index = 4; index <= 22; ++index) {
        if (!(fields >> field))
            return 0;
    }
    char* end = nullptr;
    const unsigned long long start = std::strtoull(field.c_str(), &end, 10);
    return end && *end == '\0' ? start : 0;
}

std::string currentProgramPath()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string file = length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
    // Replaced since it started (an upgrade): the kernel marks the old file
    // gone; the installed program is the one at its path now.
    static const std::string kGone = " (deleted)";
    if (file.size() > kGone.size() && file.compare(file.size() - kGone.size(), kGone.size(), kGone) == 0
        && ::access(file.c_str(), F_OK) != 0)
        file.resize(file.size() - kGone.size());
    return file;
}

std::string currentProgramFolder()
{
    const std::string file = currentProgramPath();
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

bool mayUseClockRight()
{
    if (getauxval(AT_SECURE) != 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    // Unknown counts as held.
    return syscall(SYS_capget, &header, data) != 0 || (data[CAP_SYS_TIME / 32].effective >> (CAP_SYS_TIME % 32)) & 1U;
}
