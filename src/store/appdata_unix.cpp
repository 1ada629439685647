// The application-data base folder on Linux is $XDG_DATA_HOME (default
// ~/.local/share); folders are tested and made with stat and mkdir.

#include "appdata.h"

#include <sys/stat.h>

#include "xdgdirs_unix.h"

std::string GetSpecialFolder(int csidl)
{
    if (csidl != kCsidlAppData)
        return {};
    std::string folder = xdg::baseFolder("XDG_DATA_HOME", ".local/share");
    if (folder.empty())
        return folder;
    // Windows' folder always exists; a fresh account may lack ~/.local/share.
    // When it cannot be made, creating the folders below it fails instead.
    xdg::makeFolders(folder);
    return AddBackslash(folder);
}

bool FolderExists(const std::string& path)
{
    std::string name = StripBackslash(path);
    if (name.empty() && !path.empty())
        name = "/";  // nothing but separators: the root folder
    struct stat info;
    return !name.empty() && stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateOneFolder(const std::string& path)
{
    return mkdir(path.c_str(), 0700) == 0;
}
