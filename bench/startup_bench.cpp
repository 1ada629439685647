// Start-up cost of the program against an empty Qt main window built in the
// same tree (and the same window holding one line of text, or the main
// window's controls made straight with Qt): time from fork to the first frame
// of the window, and the peak resident memory of the process up to then. All
// run under one platform (offscreen unless --platform names another, such as
// xcb under xvfb-run), alternately, from the same fresh settings and data
// folders.
//
// The first frame is read from Qt's own logging, switched on for every
// program alike through QT_LOGGING_RULES: the first line of
// qt.widgets.painting that flushes a frame to the platform window. Nothing is
// added to the program; the child is killed at that moment and its peak
// memory taken from wait4.
//
//   bench_startup [--runs N] [--program PATH] [--also PATH]...
//     N: runs of each program (default 30)
//     PATH: another build of the program to measure in place of this tree's
//     --also: one more program in the rounds, measured against both

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "benchutil.h"

namespace {

struct Mode {
    const char* name;
    const char* rules;
    const char* marker;  // start of the log line that ends the measurement
};

const Mode kModes[] = {
    {"painted", "qt.widgets.painting=true", "qt.widgets.painting|Flushing "},
};

struct Program {
    const char* name;
    const char* path;
    const char* argument;
    std::vector<double> ms;
    std::vector<double> rssMb;
};

struct Sample {
    bool ok = false;
    double ms = 0;
    double rssMb = 0;
};

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Sample runOnce(const char* path, const char* argument, const Mode& mode, const std::vector<std::string>& environment)
{
    std::vector<char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    const std::string rules = std::string("QT_LOGGING_RULES=") + mode.rules;
    envp.push_back(const_cast<char*>(rules.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(path), const_cast<char*>(argument), nullptr};

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        std::exit(1);
    }
    Sample sample;
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(pipeFds[1], 2);
        execve(path, argv, envp.data());
        _exit(127);
    }
    close(pipeFds[1]);

    std::string pending;
    char buffer[4096];
    for (;;) {
        pollfd wait{pipeFds[0], POLLIN, 0};
        if (poll(&wait, 1, 10000) <= 0)
            break;  // no window within 10 s: counted as a failed run
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t lineStart = 0, lineEnd;
        while ((lineEnd = pending.find('\n', lineStart)) != std::string::npos) {
            if (pending.compare(lineStart, std::strlen(mode.marker), mode.marker) == 0) {
                sample.ms = now() - start;
                sample.ok = true;
                break;
            }
            lineStart = lineEnd + 1;
        }
        if (sample.ok)
            break;
        pending.erase(0, lineStart);
    }
    kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    close(pipeFds[0]);
    sample.rssMb = usage.ru_maxrss / 1024.0;
    return sample;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::refuseWhileClockCanBeSet();
    int runs = 30;
    const char* program = RAVODOR_PROGRAM;
    std::vector<const char*> also;
    std::string platform = "offscreen";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--program") == 0)
            program = argv[++i];
        else if (std::strcmp(argv[i], "--platform") == 0)
            platform = argv[++i];
        else if (std::strcmp(argv[i], "--also") == 0)
            also.push_back(argv[++i]);
    }

    const bench::FreshHome home;
    const char* path = std::getenv("PATH");
    std::vector<std::string> environment = home.environment();
    environment.insert(environment.end(), {
        std::string("PATH=") + (path ? path : "/usr/bin:/bin"),
        "LANG=C.UTF-8",
        "QT_QPA_PLATFORM=" + platform,
        "QT_MESSAGE_PATTERN=%{category}|%{message}",
        // No session bus: without one libdbus would start a bus of its own for the display.
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home.path() + "/no-bus",
    });
    for (const char* name : {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY"}) {
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    }

    std::printf("start-up to first window (%s), %d alternate runs of each program (3 warm-up runs dropped)\n",
                platform.c_str(), runs);
    std::printf("%-8s %-26s %10s %10s %10s %12s\n", "mode", "program", "median ms", "p10 ms", "p90 ms",
                "median MiB");
    bool failed = false;
    for (const Mode& mode : kModes) {
        std::vector<Program> programs = {{"empty", EMPTY_PROGRAM, nullptr, {}, {}},
                                         {"text", EMPTY_PROGRAM, "--with-text", {}, {}},
                                         {"controls", EMPTY_PROGRAM, "--with-controls", {}, {}},
                                         {"ravodor", program, nullptr, {}, {}}};
        for (const char* path : also) {
            const char* slash = std::strrchr(path, '/');
            programs.push_back({slash ? slash + 1 : path, path, nullptr, {}, {}});
        }
        for (int i = -3; i < runs; ++i) {
            for (Program& program : programs) {
                const Sample sample = runOnce(program.path, program.argument, mode, environment);
                // Killed at its first frame, a program leaves its lock behind; a
                // start after a normal end finds none to break.
                for (const char* left : {"/ravodor.lock", "/ravodor.holder"})
                    unlink((home.runtime() + left).c_str());
                if (!sample.ok) {
                    std::fprintf(stderr, "%s: no window seen (%s)\n", program.name, mode.name);
                    failed = true;
                    continue;
                }
                if (i >= 0) {
                    program.ms.push_back(sample.ms);
                    program.rssMb.push_back(sample.rssMb);
                }
            }
        }
        for (const Program& program : programs) {
            std::printf("%-8s %-26s %10.1f %10.1f %10.1f %12.1f\n", mode.name, program.name,
                        bench::median(program.ms), bench::percentile(program.ms, 0.1),
                        bench::percentile(program.ms, 0.9), bench::median(program.rssMb));
        }
        const auto ratio = [&](const Program& measured, const Program& yardstick) {
            std::printf("%-8s %s/%-8s time %.3f   memory %.3f\n", mode.name, measured.name, yardstick.name,
                        bench::median(measured.ms) / bench::median(yardstick.ms),
                        bench::median(measured.rssMb) / bench::median(yardstick.rssMb));
        };
        ratio(programs[3], programs[0]);
        ratio(programs[3], programs[1]);
        ratio(programs[2], programs[1]);
        ratio(programs[3], programs[2]);
        for (std::size_t i = 4; i < programs.size(); ++i) {
            ratio(programs[i], programs[2]);
            ratio(programs[i], programs[3]);
        }
    }
    return failed ? 1 : 0;
}
