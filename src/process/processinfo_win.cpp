// Process identity on Windows: a process id may be reused at once, its
// creation time tells the processes apart.

#include "processinfo.h"

#include <windows.h>

std::int64_t currentProcessId()
{
    return static_cast<std::int64_t>(GetCurrentProcessId());
}

std::uint64_t processStartTime(std::int64_t pid)
{
    if (pid <= 0 || pid > 0xFFFFFFFFLL)
        return 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD code = 0;
    std::uint64_t start = 0;
    // A handle keeps an ended process's object alive: it must still be active.
    if (GetProcessTimes(process, &created, &exited, &kernel, &user) && GetExitCodeProcess(process, &code)
        && code == STILL_ACTIVE)
        start = (std::uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    CloseHandle(process);
    return start;
}

std::string currentMachineId()
{
    // Set up once per installation of Windows.
    char guid[64] = {};
    DWORD size = sizeof guid;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography", "MachineGuid", RRF_RT_REG_SZ, nullptr,
                     guid, &size)
        != ERROR_SUCCESS)
        return {};
    return guid;
}

std::string currentBootId()
{
    // The boot counter the system keeps (Windows 8 and later); a clock set
    // cannot move it, unlike a boot time worked out from the wall clock.
    DWORD bootId = 0;
    DWORD size = sizeof bootId;
    if (RegGetValueA(HKEY_LOCAL_MACHINE,
                     "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\PrefetchParameters",
                     "BootId", RRF_RT_REG_DWORD, nullptr, &bootId, &size)
        != ERROR_SUCCESS)
        return {};
    return std::to_string(bootId);
}

std::string currentProgramPath()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

std::string currentProgramFolder()
{
    const std::string file = currentProgramPath();
    const size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}
