#pragma once
// The user's XDG base folders, shared by the settings store and the
// application-data folder. Looked up afresh at every call, so that a test can
// point them elsewhere with setenv.

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xdg {

inline bool isAbsolute(const char* path) { return path && path[0] == '/'; }

// $HOME, or the password database's entry when HOME is unset or not absolute;
// empty when the user has no home folder at all.
inline std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (isAbsolute(home))
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        isAbsolute(found->pw_dir))
        return found->pw_dir;
    return {};
}

// $variable when it holds an absolute path (relative ones are to be ignored),
// else the home folder followed by belowHome; empty when neither exists.
inline std::string baseFolder(const char* variable, const char* belowHome)
{
    const char* value = std::getenv(variable);
    if (isAbsolute(value))
        return value;
    std::string home = homeFolder();
    return home.empty() ? home : home + '/' + belowHome;
}

// Creates every missing folder of an absolute path with mode 0700, as the
// base folders are to be created. Returns 0 or the errno that stopped it.
inline int makeFolders(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (stat(prefix.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return ENOTDIR;
        } else if (errno != ENOENT || (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)) {
            return errno;
        }
        if (end == std::string::npos)
            return 0;
    }
}

}  // namespace xdg
