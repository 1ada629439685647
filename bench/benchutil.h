#pragma once
// What the benchmarks share: the refusal to run while the clock could be set,
// scratch folders, and medians.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace bench {

// True when this process or any program it starts could set the clock: the
// right is effective, or still in the bounding set that a root child regains.
inline bool maySetClock()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    bool may = false;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) == 0 || line.rfind("CapBnd:", 0) == 0)
            may = may || ((std::strtoull(line.c_str() + 7, nullptr, 16) >> 25) & 1);  // CAP_SYS_TIME
    }
    return may;
}

inline void refuseWhileClockCanBeSet()
{
    if (maySetClock()) {
        std::fprintf(stderr, "Benchmarks run only without the right to set the clock: "
                             "setpriv --inh-caps=-sys_time --bounding-set=-sys_time <benchmark>\n");
        std::exit(2);
    }
}

// A fresh folder below root, removed with everything in it at destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* root = "/tmp")
    {
        std::string pattern = std::string(root) + "/ravodor-bench-XXXXXX";
        if (!mkdtemp(&pattern[0])) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        nftw(path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16,
             FTW_DEPTH | FTW_PHYS);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Fresh, empty home, settings and data folders, and a runtime folder on a
// tmpfs as a session's /run/user/UID is, for the programs measured.
class FreshHome {
public:
    FreshHome() : runtime_("/dev/shm")
    {
        for (const char* sub : {"/home", "/config", "/data"})
            mkdir((scratch_.path() + sub).c_str(), 0700);
    }
    const std::string& path() const { return scratch_.path(); }
    const std::string& runtime() const { return runtime_.path(); }
    std::vector<std::string> environment() const
    {
        return {"HOME=" + path() + "/home", "XDG_CONFIG_HOME=" + path() + "/config",
                "XDG_DATA_HOME=" + path() + "/data", "XDG_RUNTIME_DIR=" + runtime()};
    }

private:
    ScratchFolder scratch_;
    ScratchFolder runtime_;
};

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

}  // namespace bench
