// A prototype of the command line with no Qt at all: --version, and --at
// DATE --only for YYYY-MM-DD, done in plain C++ with the Qt-free rooms as
// runOnly() does them; a date in the locale's short form, and --help's
// example, through a QtCore part loaded only then (shape_localedate.cpp),
// so that both read dates as the window does; the window handed on
// (shapewindow.h). Measured by bench_cli and bench_startup, never installed.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "childcommand.h"
#include "clock.h"
#include "preloadreach.h"
#include "shapewindow.h"

namespace {

void* localeDates()
{
    void* part = ::dlopen(RAVODOR_SHAPE_LOCALE_DATES, RTLD_LAZY | RTLD_LOCAL);
    if (!part)
        std::fprintf(stderr, "ravodor: %s\n", ::dlerror());
    return part;
}

bool readDate(const char* text, CivilDate* date)
{
    if (parseIsoDate(text, date))
        return true;
    void* part = localeDates();
    const auto read = part ? reinterpret_cast<int (*)(const char*, int*, int*, int*)>(
                                 ::dlsym(part, "ravodor_locale_date"))
                           : nullptr;
    return read && read(text, &date->year, &date->month, &date->day);
}

int help()
{
    char example[64] = "";
    if (void* part = localeDates())
        reinterpret_cast<void (*)(char*, int)>(::dlsym(part, "ravodor_locale_example"))(example, sizeof example);
    std::printf("Usage: ravodor [--date DATE] [Qt options]\n"
                "       ravodor --at DATE [--only] [--no-ask-password] [--] COMMAND [ARG...]\n"
                "Changes the system date for a while and puts the real date back.\n"
                "DATE is written YYYY-MM-DD, or in the short form of the locale, for example %s.\n",
                example);
    return 0;
}

int runOnly(const char* text, char** command)
{
    CivilDate date;
    if (!readDate(text, &date)) {
        std::fprintf(stderr, "ravodor: '%s' is not a date; write it as YYYY-MM-DD.\n", text);
        return 65;
    }
    const char* library = RAVODOR_FAKETIME_LIBRARY;
    if (::access(library, R_OK) != 0) {
        std::fprintf(stderr, "ravodor: --only needs the package libfaketime: %s is missing.\n", library);
        return 69;
    }
    std::string path;
    if (const int status = ChildCommand::find(command[0], &path)) {
        std::fprintf(stderr, "ravodor: %s: command not found\n", command[0]);
        return status;
    }
    if (preloadReach(path).obstacle != PreloadReach::None) {
        std::fprintf(stderr, "ravodor: %s cannot be reached by --only.\n", command[0]);
        return 78;
    }
    const std::int64_t now = unfakedNowNs();
    std::int64_t instant = 0;
    if (makeSystemClock()->instantOn(date, now, &instant))
        return 65;
    const std::int64_t offset = (instant - now) / kNsPerSecond;
    ::setenv("FAKETIME", ((offset >= 0 ? "+" : "") + std::to_string(offset)).c_str(), 1);
    ::setenv("FAKETIME_DONT_FAKE_MONOTONIC", "1", 1);
    const char* preload = std::getenv("LD_PRELOAD");
    ::setenv("LD_PRELOAD", (std::string(library) + (preload ? std::string(":") + preload : "")).c_str(), 1);

    std::vector<std::string> argv;
    for (char** arg = command; *arg; ++arg)
        argv.emplace_back(*arg);
    ChildCommand child;
    const int status = child.run(path, argv);
    for (const char* name : {"/dev/shm/faketime_shm_", "/dev/shm/sem.faketime_sem_"}) {
        const std::string left = name + std::to_string(child.lastPid());
        struct stat info {};
        if (::lstat(left.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            ::unlink(left.c_str());
    }
    return status < 0 ? 127 : status;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Ravodor %s\n", RAVODOR_VERSION);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0)
        return help();
    if (argc >= 6 && std::strcmp(argv[1], "--at") == 0 && std::strcmp(argv[3], "--only") == 0
        && std::strcmp(argv[4], "--") == 0)
        return runOnly(argv[2], argv + 5);
    return openWindow(argc, argv);
}
