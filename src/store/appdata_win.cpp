// The application-data base folder on Windows comes from the shell; folders
// are tested with a file search and made with CreateDirectoryA.

#include "appdata.h"

#include <windows.h>
#include <shlobj.h>

std::string GetSpecialFolder(int csidl)
{
    LPITEMIDLIST idList = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &idList) != S_OK)
        return {};
    char buffer[MAX_PATH];
    const BOOL found = SHGetPathFromIDListA(idList, buffer);
    // The list is the shell's allocation and ours to free.
    CoTaskMemFree(idList);
    if (!found)
        return {};
    return AddBackslash(std::string(buffer, lstrlenA(buffer)));
}

bool FolderExists(const std::string& path)
{
    const std::string name = StripBackslash(path);
    // A search pattern could match some other folder; no folder bears these.
    if (name.find_first_of("*?") != std::string::npos)
        return false;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(name.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    FindClose(search);
    return isFolder;
}

bool CreateOneFolder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}
