#include "quickonly.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "childcommand.h"
#include "clock.h"
#include "exitcodes.h"
#include "faketimeenv.h"
#include "preloadreach.h"

namespace {

bool digits(const std::string& text, std::size_t from, std::size_t count, int* value)
{
    *value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        *value = *value * 10 + (text[i] - '0');
    }
    return true;
}

// YYYY-MM-DD of a year from 0100, perhaps with THH:MM or THH:MM:SS; the
// time of day in `secondOfDay`, else -1.
bool readDate(const std::string& text, CivilDate* date, int* secondOfDay)
{
    if (!parseIsoDate(text.substr(0, 10), date) || date->year < 100)
        return false;
    *secondOfDay = -1;
    if (text.size() == 10)
        return true;
    int hour = 0, minute = 0, second = 0;
    const bool form = (text.size() == 16 || text.size() == 19) && text[10] == 'T' && text[13] == ':'
                      && digits(text, 11, 2, &hour) && digits(text, 14, 2, &minute)
                      && (text.size() == 16 || (text[16] == ':' && digits(text, 17, 2, &second)));
    if (!form || hour > 23 || minute > 59 || second > 59)
        return false;
    *secondOfDay = hour * 3600 + minute * 60 + second;
    return true;
}

}  // namespace

int quickOnly(int argc, char** argv)
{
    // Without "--", a COMMAND that looks like an option is the parser's to read.
    if (argc < 5 || std::strcmp(argv[1], "--at") != 0 || std::strcmp(argv[3], "--only") != 0)
        return -1;
    const int first = std::strcmp(argv[4], "--") == 0 ? 5 : 4;
    if (first >= argc || argv[first][0] == '\0' || (first == 4 && argv[4][0] == '-'))
        return -1;
    CivilDate date;
    int secondOfDay = -1;
    if (!readDate(argv[2], &date, &secondOfDay) || !ChildCommand::supported() || !ChildCommand::runsAsCaller())
        return -1;
    struct stat library {};
    std::string path;
    if (::stat(faketimeLibrary(), &library) != 0 || ChildCommand::find(argv[first], &path) != 0
        || preloadReach(path).obstacle != PreloadReach::None)
        return -1;
    // A time of day the zone skips or repeats is said on a terminal: the part's words.
    const std::int64_t now = SystemClock::floorSeconds(unfakedNowNs());
    std::int64_t shown = 0;
    TimeFit fit = TimeFit::Exact;
    if (localSecondOn(date, secondOfDay, now, &shown, secondOfDay >= 0 ? &fit : nullptr) || fit != TimeFit::Exact)
        return -1;

    ::setenv("FAKETIME", faketimeOffset(shown - now).c_str(), 1);
    ::setenv("FAKETIME_DONT_FAKE_MONOTONIC", "1", 1);
    ::setenv("LD_PRELOAD", faketimePreload(faketimeLibrary(), std::getenv("LD_PRELOAD")).c_str(), 1);
    const std::vector<std::string> command(argv + first, argv + argc);
    ChildCommand child;
    int status = child.run(path, command);
    if (status < 0) {
        const int error = errno;
        std::fprintf(stderr, "ravodor: %s: %s\n", argv[first],
                     error == EINTR ? "interrupted before it started"
                                    : ChildCommand::startFailure(path, error).c_str());
        struct stat program {};
        status = error == ENOENT && ::stat(path.c_str(), &program) != 0 ? kExitNotFound : kExitCannotRun;
    }
    if (child.lastPid() > 0)
        removeFaketimeLeftovers(child.lastPid());
    return status;
}
