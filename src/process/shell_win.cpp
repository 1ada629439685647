// Web addresses go to the handler that the shell has for them.

#include "shell.h"

#include "shell_win_hook.h"

decltype(&::ShellExecuteA) shellExecuteA = &::ShellExecuteA;

bool OpenWithShell(void* ownerWindow, const std::string& address)
{
    const HINSTANCE result = shellExecuteA(static_cast<HWND>(ownerWindow), nullptr, address.c_str(), nullptr,
                                           "c:\\", SW_SHOWNORMAL);
    // Not a handle: a number above 32 for success, an error code up to 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}
