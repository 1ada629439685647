// The command line's cost side by side with Debian's `faketime 2030-01-01
// /bin/true`: wall time from fork to the end of the run, and peak memory,
// for --at DATE --only -- /bin/true, --at DATE -- /bin/true (on the fake
// clock) and --help, of this tree's program: its front alone, or the front
// and the command line's part (a date in the locale's form, --help, --at).
// Every row runs in pairs with faketime, the order turned each round.
//
// CPU time and page faults are wait4()'s too, the run's waited-for
// descendants included: the faults (the pages mapped in, most of them the
// libraries' pages as the loader touches them) do not depend on the
// machine's load at all.
//
// Peak memory is wait4()'s ru_maxrss of the process started: the largest
// resident set that any one process of the run reached (the process across
// its exec()s, and every descendant it waited for), not their sum. For
// `faketime` that is the largest of faketime, the `date` it starts to read
// its argument and /bin/true; for ravodor --only, ravodor or /bin/true.
//
//   bench_cli [--pairs N] [--program PATH] [--rows WORD]
//     N: pairs per row (default 40)
//     PATH: another build of the program in place of this tree's
//     WORD: only the rows whose name holds it

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "benchutil.h"

namespace {

struct Row {
    Row(std::string name_, std::vector<std::string> argv_, bool fakeClock_ = false)
        : name(std::move(name_)), argv(std::move(argv_)), fakeClock(fakeClock_)
    {
    }
    std::string name;
    std::vector<std::string> argv;
    bool fakeClock;  // the system-wide way: on the fake clock
    std::vector<double> ms;
    std::vector<double> cpuMs;
    std::vector<double> faults;
    std::vector<double> peakMb;
    int failed = 0;
};

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// One run; false when it did not end with status 0.
bool runOnce(Row& row, const std::vector<std::string>& environment)
{
    std::vector<char*> argv;
    for (const std::string& arg : row.argv)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        if (row.fakeClock || entry.rfind("LD_PRELOAD=", 0) != 0)
            envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double ms = now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ++row.failed;
        return false;
    }
    row.ms.push_back(ms);
    row.cpuMs.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    row.faults.push_back(double(usage.ru_minflt + usage.ru_majflt));
    row.peakMb.push_back(usage.ru_maxrss / 1024.0);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::refuseWhileClockCanBeSet();
    int pairs = 40;
    std::string program = RAVODOR_PROGRAM;
    std::string only;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--pairs") == 0)
            pairs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--program") == 0)
            program = argv[++i];
        else if (std::strcmp(argv[i], "--rows") == 0)
            only = argv[++i];
    }

    const bench::FreshHome home;
    // LD_PRELOAD reaches only the rows on the fake clock.
    std::vector<std::string> environment = home.environment();
    environment.insert(environment.end(), {
        "PATH=/usr/bin:/bin",
        "LANG=C.UTF-8",
        "TZ=UTC",
        // The machine's time service must never be reached.
        "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent",
        "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent",
        std::string("LD_PRELOAD=") + RAVODOR_FAKECLOCK_SO,
        "FAKECLOCK_STATE=" + home.path() + "/clock.state",
    });

    const std::string date = "2030-01-01";
    const std::vector<std::string> only_ = {"--at", date, "--only", "--", "/bin/true"};
    const std::vector<std::string> at = {"--at", date, "--no-ask-password", "--", "/bin/true"};
    const auto with = [](const std::string& path, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), path);
        return arguments;
    };
    std::vector<Row> rows = {
        {"ravodor --only", with(program, only_)},
        {"ravodor --only, locale's date", with(program, {"--at", "31 Dec 2029", "--only", "--", "/bin/true"})},
        {"ravodor --at", with(program, at), true},
        {"ravodor --help", with(program, {"--help"})},
        {"ravodor --version", with(program, {"--version"})},
    };
    if (!only.empty()) {
        std::vector<Row> chosen;
        for (Row& row : rows) {
            if (row.name.find(only) != std::string::npos)
                chosen.push_back(row);
        }
        rows = chosen;
    }
    Row faketime{"faketime", {"faketime", date, "/bin/true"}};

    std::printf("%d pairs per row with `faketime %s /bin/true`, the order turned each round (3 warm-up rounds)\n",
                pairs, date.c_str());
    for (int round = -3; round < pairs; ++round) {
        for (Row& row : rows) {
            Row& first = round % 2 ? row : faketime;
            Row& second = round % 2 ? faketime : row;
            for (Row* run : {&first, &second}) {
                const std::size_t kept = run->ms.size();
                runOnce(*run, environment);
                // Warm-up runs only fill the caches.
                if (round < 0 && run->ms.size() > kept) {
                    run->ms.pop_back();
                    run->cpuMs.pop_back();
                    run->faults.pop_back();
                    run->peakMb.pop_back();
                }
            }
        }
    }

    std::printf("%-28s %9s %7s %7s %7s %7s %9s %8s %8s %8s %6s\n", "row", "median ms", "p10", "p90", "cpu ms",
                "faults", "peak MiB", "time x", "cpu x", "memory x", "failed");
    const double yardMs = bench::median(faketime.ms);
    const double yardCpu = bench::median(faketime.cpuMs);
    const double yardMb = bench::median(faketime.peakMb);
    bool failed = faketime.failed > 0;
    for (const Row* row : [&] {
             std::vector<const Row*> all{&faketime};
             for (const Row& r : rows)
                 all.push_back(&r);
             return all;
         }()) {
        std::printf("%-28s %9.2f %7.2f %7.2f %7.2f %7.0f %9.2f %8.3f %8.3f %8.3f %6d\n", row->name.c_str(),
                    bench::median(row->ms), bench::percentile(row->ms, 0.1), bench::percentile(row->ms, 0.9),
                    bench::median(row->cpuMs), bench::median(row->faults), bench::median(row->peakMb),
                    bench::median(row->ms) / yardMs,
                    bench::median(row->cpuMs) / yardCpu, bench::median(row->peakMb) / yardMb, row->failed);
        failed = failed || row->failed > 0;
    }
    return failed ? 1 : 0;
}
