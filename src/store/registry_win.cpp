// The settings store on Windows: the registry through its ANSI functions, so
// text crosses in the system's code page and the statuses are the system's.

#include "registry.h"

long CreateKey(HKEY root, const std::string& subKey, HKEY* key)
{
    DWORD disposition = 0;  // created or opened: no caller needs to know
    return RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccessMask,
                           nullptr, key, &disposition);
}

long GetKeyValue(HKEY root, const std::string& subKey, const std::string& valueName, std::string& text)
{
    text.clear();
    HKEY key = nullptr;
    long status = RegOpenKeyExA(root, subKey.c_str(), 0, kKeyAccessMask, &key);
    if (status != ERROR_SUCCESS)
        return status;

    DWORD type = REG_SZ;
    DWORD size = 0;
    status = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        RegCloseKey(key);
        return status;
    }

    // A value that grew since the size query fails with ERROR_MORE_DATA.
    text.assign(size, ' ');
    type = REG_SZ;
    status = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(&text[0]), &size);
    if (status != ERROR_SUCCESS) {
        RegCloseKey(key);
        return status;
    }
    if (size < text.size())  // the value shrank in between
        text.resize(size);
    const std::string::size_type nul = text.find('\0');
    if (nul != std::string::npos)
        text.erase(nul);
    return RegCloseKey(key);
}

long SetKeyValue(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& text)
{
    HKEY key = nullptr;
    long status = CreateKey(root, subKey, &key);
    if (status != ERROR_SUCCESS)
        return status;

    // The count leaves out the terminator. (The system adds one itself when
    // the byte after the counted data is NUL, as it is after c_str().)
    status = RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size()));
    if (status != ERROR_SUCCESS) {
        RegCloseKey(key);
        return status;
    }
    return RegCloseKey(key);
}

long DeleteKeyValue(HKEY root, const std::string& subKey, const std::string& valueName)
{
    HKEY key = nullptr;
    long status = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegDeleteValueA(key, valueName.c_str());
    RegCloseKey(key);
    return status;
}
