#include "runlock.h"

#include <windows.h>

RunLock::RunLock(const std::string& path)
{
    // No sharing: a second open fails while this one lives.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    held_ = true;
    handle_ = file;
}

RunLock::~RunLock()
{
    if (held_)
        CloseHandle(handle_);
}
