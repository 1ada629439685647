// The presets folder: "Zaduziro software\Ravodor" below the user's
// application-data folder, or the caller's fallback when that cannot be had.

#include "appdata.h"

#ifdef _WIN32
const char kPathSeparator = '\\';
#else
const char kPathSeparator = '/';
#endif

namespace {

const char kMakerFolder[] = "Zaduziro software";
const char kProgramFolder[] = "Ravodor";

// An existing folder, or one created now.
bool EnsureFolder(const std::string& path)
{
    return FolderExists(path) || CreateOneFolder(path);
}

}  // namespace

std::string GetAppDataFolder(const std::string& fallback)
{
    try {
        std::string base;
        try {
            base = GetSpecialFolder(kCsidlAppData);
        } catch (...) {
            base.clear();
        }
        if (base.empty())
            return AddBackslash(fallback);

        std::string path = AddBackslash(base) + kMakerFolder + kPathSeparator;
        if (!EnsureFolder(path))
            return AddBackslash(fallback);
        path = path + kProgramFolder + kPathSeparator;
        if (!EnsureFolder(path))
            return AddBackslash(fallback);
        return path;
    } catch (...) {
        return AddBackslash(fallback);
    }
}

std::string AddBackslash(const std::string& path)
{
    if (!path.empty() && path.back() == kPathSeparator)
        return path;
    return path + kPathSeparator;
}

std::string StripBackslash(const std::string& path)
{
    std::string::size_type end = path.size();
    while (end > 0 && path[end - 1] == kPathSeparator)
        --end;
    return path.substr(0, end);
}
