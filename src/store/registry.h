#pragma once
// The per-user settings store: keys holding named string values, with the
// Windows registry's status codes (0 success, 2 missing key or value, ...).
// Text crosses as bytes in the system's code page.

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
struct RegistryKey;
typedef RegistryKey* HKEY;
// The user's root; its "Software" key is the folder $XDG_CONFIG_HOME.
extern HKEY const HKEY_CURRENT_USER;
constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr long ERROR_INVALID_DATA = 13;
constexpr long ERROR_WRITE_FAULT = 29;
constexpr long ERROR_DISK_FULL = 112;
constexpr long ERROR_INVALID_PARAMETER = 87;
constexpr long ERROR_FILENAME_EXCED_RANGE = 206;
constexpr long ERROR_BAD_PATHNAME = 161;
long RegCloseKey(HKEY key);
#endif

// All the specific key rights, without the standard rights.
constexpr unsigned long kKeyAccessMask = 0x3F;

long CreateKey(HKEY root, const std::string& subKey, HKEY* key);
long GetKeyValue(HKEY root, const std::string& subKey, const std::string& valueName, std::string& text);
long SetKeyValue(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& text);
// Removes one value; 2 when it (or its key) is not there.
long DeleteKeyValue(HKEY root, const std::string& subKey, const std::string& valueName);
