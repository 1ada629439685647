#include "faketimeenv.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

const char* faketimeLibrary()
{
    return RAVODOR_FAKETIME_LIBRARY;
}

std::string faketimeOffset(std::int64_t seconds)
{
    return (seconds >= 0 ? "+" : "") + std::to_string(seconds);
}

std::string faketimePreload(const std::string& library, const char* inherited)
{
    std::string preload = library;
    const std::string list = inherited ? inherited : "";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of(" :", start);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(start, end - start);
        if (!entry.empty() && entry != library)
            preload += ':' + entry;
        start = end + 1;
    }
    return preload;
}

void removeFaketimeLeftovers(long pid)
{
#ifndef _WIN32
    // What is mapped stays; only a file of this user's is taken away.
    for (const char* name : {"/dev/shm/faketime_shm_", "/dev/shm/sem.faketime_sem_"}) {
        const std::string path = name + std::to_string(pid);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            ::unlink(path.c_str());
    }
#else
    (void)pid;
#endif
}
