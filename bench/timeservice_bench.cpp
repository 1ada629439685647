// shiftClock's own work on the time-service path: a SetTime through the
// stand-in timedated on a private bus, authorised without a prompt.
// Directly, and as the window and --at ask for it: a request to the guard,
// which makes the call.
//   bench_timeservice [--calls N]

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "benchutil.h"
#include "privatebus.h"
#include "clock.h"
#include "guard.h"
#include "timeservice.h"

namespace {

// Milliseconds of each of `calls` calls to shiftClock.
std::vector<double> time(TimeService& service, int calls)
{
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        const AppError error = service.shiftClock(i % 2 ? -86400000000 : 86400000000, true);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        if (error) {
            std::fprintf(stderr, "shiftClock failed: %d %s\n", error.number, error.description.c_str());
            std::exit(1);
        }
    }
    return ms;
}

void report(const char* name, const std::vector<double>& ms)
{
    std::printf("%-24s median %6.2f ms  p10 %6.2f  p90 %6.2f  (%zu calls)\n", name, bench::median(ms),
                bench::percentile(ms, 0.1), bench::percentile(ms, 0.9), ms.size());
}

}  // namespace

int main(int argc, char** argv)
{
    bench::refuseWhileClockCanBeSet();
    int calls = 50;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--calls") == 0)
            calls = std::atoi(argv[i + 1]);

    // The time service's room links Qt Core alone: no window system.
    QCoreApplication app(argc, argv);
    PrivateBus::Options options;
    options.ntp = false;
    PrivateBus bus(options);
    if (!bus.ok()) {
        std::fprintf(stderr, "private bus: %s\n", bus.error().c_str());
        return 1;
    }

    std::unique_ptr<TimeService> direct = makeTimeService();
    time(*direct, 5);  // warm-up: the stand-ins' first calls
    report("shiftClock", time(*direct, calls));
    // The way the window and --at go: a request to the guard, which asks the service.
    const auto clock = makeSystemClock();
    const auto guard = makeGuardedChanger(*clock, "ravodor-bench");
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        // The stand-in moves no clock: each date is a whole shift from the real one.
        const CivilDate date{i % 2 ? 2031 : 2032, 1, 1};
        const auto begin = std::chrono::steady_clock::now();
        const AppError error = guard->setDate(date, true);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        if (error) {
            std::fprintf(stderr, "through the guard failed: %d %s\n", error.number, error.description.c_str());
            return 1;
        }
    }
    report("date, through the guard", ms);
    return 0;
}
