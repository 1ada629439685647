// The guard on Windows: a child process that waits on the program's process
// handle, which is signalled however the program ends. It is started with
// the program's own token and inherits no handle.

#include "guard.h"

#include <string>

#include <windows.h>

#include "processinfo.h"

namespace {

class WindowsGuard final : public GuardProcess {
public:
    WindowsGuard(std::string path, std::string exeBaseName) : path_(std::move(path)), exe_(std::move(exeBaseName)) {}
    ~WindowsGuard() override
    {
        if (process_)
            CloseHandle(process_);
    }

    bool start() override
    {
        if (process_)
            return running();
        const std::int64_t pid = currentProcessId();
        std::string commandLine = "\"" + path_ + "\" \"" + exe_ + "\" " + std::to_string(pid) + " "
                                  + std::to_string(processStartTime(pid));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(path_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &startup, &info))
            return false;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        return running();
    }

    bool running() const override
    {
        return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
    }

private:
    std::string path_;
    std::string exe_;
    HANDLE process_ = nullptr;
};

}  // namespace

std::unique_ptr<GuardProcess> makeGuardProcess(const std::string& guardPath, const std::string& exeBaseName)
{
    return std::make_unique<WindowsGuard>(guardPath, exeBaseName);
}

std::string guardExecutablePath(const std::string& programDir)
{
    // Installed or built, it lives beside the program.
    const std::string path = programDir + "\\ravodor-guard.exe";
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return path;
}

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
