// Sets the date through the real clock backend and prints what happened, as
// key=value lines. Only the clock tests start it: always without the right to
// set the clock, and with fakeclock preloaded when a set should succeed.
//
//   clock_probe YEAR MONTH DAY
//   clock_probe today          (the least harm should every guard fail)
//   clock_probe instant-on YEAR MONTH DAY FROM_NS   (only computes, sets nothing)

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include <time.h>

#include "clock.h"
#include "clockright.h"

namespace {

bool parseInt(const char* text, int* value)
{
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

void printTime(const char* name)
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    char text[64] = "?";
    if (localtime_r(&ts.tv_sec, &tm) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &tm);
    std::printf("%s_ns=%lld\n%s_local=%s +%09ld ns\n", name,
                static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec, name, text,
                static_cast<long>(ts.tv_nsec));
}

}  // namespace

int main(int argc, char** argv)
{
    if (mayHoldClockRight()) {
        std::fprintf(stderr, "clock_probe: refusing to run with the right to set the clock\n");
        return 3;
    }
    tzset();
    const auto clock = makeSystemClock();

    CivilDate date;
    if (argc == 6 && std::strcmp(argv[1], "instant-on") == 0 && parseInt(argv[2], &date.year)
        && parseInt(argv[3], &date.month) && parseInt(argv[4], &date.day)) {
        std::int64_t instant = 0;
        const AppError error = clock->instantOn(date, std::strtoll(argv[5], nullptr, 10), &instant);
        std::printf("error=%d\ninstant_ns=%lld\n", error.number, static_cast<long long>(instant));
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "today") == 0) {
        date = clock->today();
    } else if (argc != 4 || !parseInt(argv[1], &date.year) || !parseInt(argv[2], &date.month)
               || !parseInt(argv[3], &date.day)) {
        std::fprintf(stderr, "usage: clock_probe YEAR MONTH DAY | today | instant-on YEAR MONTH DAY FROM_NS\n");
        return 2;
    }

    printTime("before");
    const AppError error = clock->setDate(date);
    std::printf("error=%d\ndescription=%s\n", error.number, error.description.c_str());
    printTime("after");
    return 0;
}
