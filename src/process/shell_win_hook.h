#pragma once
// What OpenWithShell calls to start the handler: ShellExecuteA unless a test
// puts a recorder here.

#include <windows.h>
#include <shellapi.h>

extern decltype(&::ShellExecuteA) shellExecuteA;
