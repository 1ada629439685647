// The guard on Windows: a child process that waits on the program's process
// handle, which is signalled however the program ends. It is started with
// the program's own token and inherits no handle.

#include "guard.h"

#include <string>

#include <windows.h>

#include "localchanger.h"
#include "processinfo.h"

namespace {

class WindowsGuard final {
public:
    WindowsGuard(std::string path, std::string exeBaseName) : path_(std::move(path)), exe_(std::move(exeBaseName)) {}
    ~WindowsGuard()
    {
        if (process_)
            CloseHandle(process_);
    }

    bool start()
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

    bool running() const
    {
        return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
    }

private:
    std::string path_;
    std::string exe_;
    HANDLE process_ = nullptr;
};

// The elevated program changes the clock itself; the guard, started with
// the first change, restores from the record should the program die.
class GuardedLocalChanger final : public DateChanger {
public:
    GuardedLocalChanger(SystemClock& clock, const std::string& exeBaseName)
        : service_(makeTimeService()), local_(clock, *service_), guard_(guardExecutablePath(), exeBaseName)
    {
    }

    SyncState syncState() override { return local_.syncState(); }
    AppError setSync(bool on, bool interactive) override { return local_.setSync(on, interactive); }
    AppError setDate(const CivilDate& date, bool interactive) override
    {
        if (!guard_.running())
            guard_.start();  // without it the record still serves the next start
        return local_.setDate(date, interactive);
    }
    AppError undo(bool interactive) override { return local_.undo(interactive); }
    AppError adopt(const CivilDate& realDate, bool syncPaused) override { return local_.adopt(realDate, syncPaused); }

private:
    std::unique_ptr<TimeService> service_;
    LocalChanger local_;
    WindowsGuard guard_;
};

}  // namespace

std::unique_ptr<DateChanger> makeGuardedChanger(SystemClock& clock, const std::string& exeBaseName)
{
    return std::make_unique<GuardedLocalChanger>(clock, exeBaseName);
}

std::string guardExecutablePath()
{
    // Installed or built, it lives beside the program.
    const std::string path = currentProgramFolder() + "\\ravodor-guard.exe";
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return path;
}
