#pragma once
// Opens a web address with the desktop's own handler.

#include <string>

// ownerWindow: the native window that owns any error UI (may be null).
// True when the handler could be started.
bool OpenWithShell(void* ownerWindow, const std::string& address);
