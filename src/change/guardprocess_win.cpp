// The guard's own start and wait on Windows.

#include "guardprocess.h"

#include <windows.h>

void prepareGuard()
{
    // No console of its own to close, and no error box should a DLL be missing.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

void waitForProgramEnd(std::int64_t pid, std::uint64_t pidStart)
{
    if (pid <= 0 || pid > 0xFFFFFFFFLL)
        return;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return;  // gone already
    // A reused id is another process: the program has ended.
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)
        && ((std::uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime) == pidStart)
        WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
}
