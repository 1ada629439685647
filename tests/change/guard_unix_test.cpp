// The guard on Linux, end to end: guard_probe plays the program on the fake
// clock and ends as told. No process here may set the real clock; this test
// is their subreaper, so the guard is its child once the probe has gone.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "clockright.h"
#include "guard.h"
#include "guardprotocol.h"
#include "privatebus.h"
#include "timeservice.h"

namespace {

namespace fs = std::filesystem;

// The guard's exit statuses.
constexpr int kNothingToDo = 0;
constexpr int kBadCall = 2;
constexpr int kPutRight = 3;
// Not a status: the probe, still ending, reaped a guard that had nothing to do.
constexpr int kReapedByProbe = -2;

struct Ending {
    const char* mode;
    int signal;  // sent to the probe (SIGKILL) or its process group; 0: it ends by itself
    int diesBy;  // the signal that ends the probe; 0: it exits with 0
    int guardStatus;
};

class GuardUnixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(mayHoldClockRight()) << "refusing to run with CAP_SYS_TIME: run the tests through "
                                             "setpriv --inh-caps=-sys_time --bounding-set=-sys_time";
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0) << std::strerror(errno);
        std::string pattern = (fs::temp_directory_path() / "ravodor-guard-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir_ = pattern;
    }

    void TearDown() override
    {
        endAll();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // The probe's process group holds the guard and the started command too.
    void endAll()
    {
        if (probe_ > 0)
            kill(-probe_, SIGKILL);
        while (waitpid(-1, nullptr, 0) > 0) {
        }
        probe_ = child_ = 0;
    }

    std::string state() const { return (dir_ / "fakeclock.state").string(); }
    fs::path recordFile() const { return dir_ / "config" / "Zaduziro" / "ravodor" / "RestoreRecord"; }

    std::int64_t fakeNumber(const std::string& name) const
    {
        std::ifstream in(state());
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(name + "=", 0) == 0)
                return std::stoll(line.substr(name.size() + 1));
        }
        return 0;
    }

    // Starts the probe in a process group of its own and reads up to "ready".
    void startProbe(const char* mode)
    {
        fs::remove(state());
        const std::string config = (dir_ / "config").string(), fakeState = state();
        int out[2];
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        probe_ = fork();
        ASSERT_GE(probe_, 0);
        if (probe_ == 0) {
            setpgid(0, 0);
            // As root the bounding set decides what an exec may regain; the
            // probe refuses to run with anything regained otherwise.
            prctl(PR_CAPBSET_DROP, kCapSysTime);
            dup2(out[1], STDOUT_FILENO);
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            setenv("FAKECLOCK_STATE", fakeState.c_str(), 1);
            setenv("LD_PRELOAD", RAVODOR_FAKECLOCK_SO, 1);
            unsetenv("FAKECLOCK_DENY");
            execl(RAVODOR_GUARD_PROBE, RAVODOR_GUARD_PROBE, mode, nullptr);
            _exit(127);
        }
        close(out[1]);
        FILE* output = fdopen(out[0], "r");
        bool ready = false;
        char line[64];
        while (!ready && std::fgets(line, sizeof line, output)) {
            std::sscanf(line, "child_pid=%d", &child_);
            ready = std::strcmp(line, "ready\n") == 0;
        }
        std::fclose(output);
        ASSERT_TRUE(ready);
        if (std::strcmp(mode, "wait") == 0 || std::strcmp(mode, "child") == 0) {  // the others may be over already
            ASSERT_TRUE(fs::exists(recordFile()));
            ASSERT_EQ(fakeNumber("set_count"), 1);
        }
    }

    // The guard's exit status once it has ended (-1 when it does not).
    int guardStatus()
    {
        for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
             std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, WNOHANG);
            if (pid > 0 && pid != child_)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (pid < 0 && errno == ECHILD)
                return kReapedByProbe;
        }
        ADD_FAILURE() << "the guard did not end";
        return -1;
    }

    // Runs the probe to the end `e` gives it; how long after that the guard set the clock.
    std::int64_t run(const Ending& e)
    {
        startProbe(e.mode);
        if (HasFatalFailure())
            return 0;
        const auto endedAt = std::chrono::system_clock::now().time_since_epoch();
        if (e.signal)
            kill(e.signal == SIGKILL ? probe_ : -probe_, e.signal);
        int s = 0;
        EXPECT_EQ(waitpid(probe_, &s, 0), probe_);
        EXPECT_TRUE(e.diesBy ? WIFSIGNALED(s) && WTERMSIG(s) == e.diesBy : WIFEXITED(s) && WEXITSTATUS(s) == 0) << s;
        const int status = guardStatus();
        // A guard left nothing to do may end before the probe and be reaped by it.
        EXPECT_EQ(status == kReapedByProbe ? kNothingToDo : status, e.guardStatus);
        return fakeNumber("last_set_real_ns") - std::chrono::nanoseconds(endedAt).count();
    }

    fs::path dir_;
    pid_t probe_ = 0;
    pid_t child_ = 0;
};

TEST_F(GuardUnixTest, OnlyAnEndWithoutTheClosingStepsMakesItPutTheRealDateBackWithinASecond)
{
    const Ending endings[] = {
        {"wait", SIGKILL, SIGKILL, kPutRight},
        {"segv", 0, SIGSEGV, kPutRight},
        {"abort", 0, SIGABRT, kPutRight},
        // Ctrl-C at the terminal reaches the guard too: it must outlive the probe.
        {"wait", SIGINT, SIGINT, kPutRight},
        // A command the program started does not hold the guard back.
        {"child", SIGKILL, SIGKILL, kPutRight},
        // The probe asks for the set and the set-back itself: nothing left for the guard.
        {"normal", 0, 0, kNothingToDo},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(std::string(e.mode) + " " + strsignal(e.diesBy));
        const std::int64_t delay = run(e);
        if (HasFatalFailure())
            return;
        EXPECT_EQ(fakeNumber("set_count"), 2);
        EXPECT_LT(std::llabs(fakeNumber("offset_ns")), kNsPerSecond);
        if (e.signal) {
            EXPECT_LT(delay, kNsPerSecond);
        }
        // Only the program removes it: the next start finds the clock right.
        EXPECT_EQ(fs::exists(recordFile()), e.guardStatus == kPutRight);
        if (child_) {
            EXPECT_EQ(kill(child_, 0), 0) << "the started command should still run";
        }
        endAll();
    }
}

// The local time in `zone` (a TZ value) at an instant.
std::tm localIn(const std::string& zone, std::int64_t ns)
{
    const char* was = std::getenv("TZ");
    const std::string kept = was ? was : "";
    setenv("TZ", zone.c_str(), 1);
    tzset();
    const time_t t = static_cast<time_t>(ns / kNsPerSecond);
    std::tm tm{};
    localtime_r(&t, &tm);
    if (was)
        setenv("TZ", kept.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    return tm;
}

std::string utcText(std::int64_t ns)
{
    const time_t t = static_cast<time_t>(ns / kNsPerSecond);
    std::tm tm{};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", gmtime_r(&t, &tm));
    return text;
}

std::vector<std::string> linesOf(const fs::path& file)
{
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Each way to ask the guard for more than a Set: arguments, lines on its pipe
// and the environment. It refuses, or sets whole days only and undoes them.
TEST_F(GuardUnixTest, NothingButWholeDaysCanBeAskedOfIt)
{
    const std::string day = "date 2031-03-15 0\n";
    const std::string bus = "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (dir_ / "bus").string();
    const std::string config = "XDG_CONFIG_HOME=" + (dir_ / "config").string();
    const std::string path = "PATH=" + dir_.string();
    const fs::path log = dir_ / "log";
    passwd* user = getpwuid(getuid());
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const std::string asker = "user " + std::string(user ? user->pw_name : "?") + " (uid " + std::to_string(getuid())
                              + "), request \"";
    const std::string caller = "; the caller's word: program \"" + std::string(exe) + "\", pid "
                               + std::to_string(getpid()) + ", arguments \"";
    const struct {
        const char* what;
        std::vector<std::string> args, env;
        std::string input;  // one answer a line: "0 " for a granted set, "5 0 " for a refusal
        bool granted;
        int status;
    } rows[] = {
        {"an argument", {"date"}, {}, "", false, kBadCall},
        {"a request as argument", {"date 2031-03-15 0"}, {}, "", false, kBadCall},
        {"an empty line", {}, {}, "\n", false, kNothingToDo},
        {"no date", {}, {}, "date 0\n", false, kNothingToDo},
        {"no interactive flag", {}, {}, "date 2031-03-15\n", false, kNothingToDo},
        {"an instant", {}, {}, "date 1950000000 0\n", false, kNothingToDo},
        {"a date and time", {}, {}, "date 2031-03-15T10:00:00 0\n", false, kNothingToDo},
        {"a time of day", {}, {}, "date 2031-03-15 10:00:00 0\n", false, kNothingToDo},
        {"year 99", {}, {}, "date 0099-12-31 0\n", false, kNothingToDo},
        {"year 10000", {}, {}, "date 10000-01-01 0\n", false, kNothingToDo},
        {"no such day", {}, {}, "date 2031-02-30 0\n", false, kNothingToDo},
        {"an over-long line", {}, {}, "date 2031-03-15 0" + std::string(kGuardLineMax, ' ') + "\n", false, kNothingToDo},
        {"an unknown verb", {}, {}, "time 10:00:00 0\n", false, kNothingToDo},
        {"a command", {}, {}, "run sh 0\n", false, kNothingToDo},
        {"extra words", {}, {}, "undo 0 now\n", false, kNothingToDo},
        {"a bad flag", {}, {}, "date 2031-03-15 2\n", false, kNothingToDo},
        {"a named file", {}, {}, "adopt /etc/passwd 0\n", false, kNothingToDo},
        {"another bus and paths", {}, {bus, config, path, "LD_LIBRARY_PATH=" + dir_.string()}, day, true, kPutRight},
        {"another bus, refused", {}, {bus, config, path}, "date 2031-03-15 10:00 0\n", false, kNothingToDo},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(state());
        fs::remove(log);
        int in[2], out[2];
        ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        const pid_t guard = fork();
        ASSERT_GE(guard, 0);
        if (guard == 0) {
            prctl(PR_CAPBSET_DROP, kCapSysTime);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            setenv("FAKECLOCK_STATE", state().c_str(), 1);
            setenv("LD_PRELOAD", RAVODOR_FAKECLOCK_SO, 1);
            setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ravodor-no-bus", 1);
            setenv("RAVODOR_GUARD_LOG", log.c_str(), 1);
            for (const std::string& e : row.env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv = {const_cast<char*>(RAVODOR_GUARD)};
            for (const std::string& a : row.args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(RAVODOR_GUARD, argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        FILE* answers = fdopen(out[0], "r");
        if (row.args.empty()) {
            ASSERT_EQ(write(in[1], row.input.data(), row.input.size()), ssize_t(row.input.size()));
            char line[512];
            ASSERT_NE(std::fgets(line, sizeof line, answers), nullptr);
            EXPECT_EQ(std::string(line).rfind(row.granted ? "0 " : "5 0 ", 0), 0u) << line;
        }
        const std::int64_t offset = fakeNumber("offset_ns");
        const std::int64_t realNs = fakeNumber("last_set_real_ns"), setNs = fakeNumber("last_set_ns");
        const std::int64_t shift = offset
                                   + (localIn(":/etc/localtime", realNs + offset).tm_gmtoff
                                      - localIn(":/etc/localtime", realNs).tm_gmtoff)
                                         * kNsPerSecond;
        const std::int64_t timeOfDay = (shift % kNsPerDay + kNsPerDay) % kNsPerDay;
        EXPECT_LT(std::min(timeOfDay, kNsPerDay - timeOfDay), kNsPerSecond);
        EXPECT_EQ(offset != 0, row.granted);
        close(in[1]);
        int status = 0;
        EXPECT_EQ(waitpid(guard, &status, 0), guard);
        std::fclose(answers);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == row.status) << status;
        EXPECT_EQ(fakeNumber("set_count"), row.granted ? 2 : 0);  // the set, then its own undo
        EXPECT_LT(std::llabs(fakeNumber("offset_ns")), kNsPerSecond);
        // Who asked, what and when, then what the caller says: one line each set, before it.
        const std::vector<std::string> lines = linesOf(log);
        EXPECT_EQ(lines.size(), row.granted ? 2u : 0u);
        if (row.granted && lines.size() == 2) {
            const std::string date = row.input.substr(5, 10);
            const std::string set = asker + row.input.substr(0, row.input.size() - 1) + "\": date " + date
                                    + ", clock to be set to " + utcText(setNs) + caller;
            const std::string back = asker + "end of input\": back to the real instant, clock to be set to "
                                     + utcText(fakeNumber("last_set_ns")) + caller;
            EXPECT_EQ(lines[0].rfind(set, 0), 0u) << lines[0];
            EXPECT_EQ(lines[1].rfind(back, 0), 0u) << lines[1];
        }
    }
}

// The record is the program's: one edited to another anchor moves nothing,
// since the guard undoes from its own.
TEST_F(GuardUnixTest, AnEditedRecordLeadsOnlyToItsOwnUndo)
{
    startProbe("wait");
    ASSERT_FALSE(HasFatalFailure());
    std::ifstream in(recordFile());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::string key = "anchor_wall_ns=";
    const auto at = text.find(key) + key.size();
    const std::int64_t edited = std::stoll(text.substr(at)) - 5 * 3600 * kNsPerSecond - 17 * 60 * kNsPerSecond;
    text.replace(at, text.find('\n', at) - at, std::to_string(edited));
    std::ofstream(recordFile()) << text;
    kill(probe_, SIGKILL);
    EXPECT_EQ(waitpid(probe_, nullptr, 0), probe_);
    EXPECT_EQ(guardStatus(), kPutRight);
    EXPECT_EQ(fakeNumber("set_count"), 2);
    EXPECT_LT(std::llabs(fakeNumber("offset_ns")), kNsPerSecond);
}

// With sync on, over a bus of the test's own: what the program paused is
// switched back on at the end of the guard's input, a pause whose answer
// never came but that was made all the same included.
TEST_F(GuardUnixTest, SyncItPausedIsOnAgainAfterTheEndOfItsInput)
{
    if (const std::string missing = PrivateBus::missingTools(); !missing.empty())
        GTEST_SKIP() << missing;
    const struct {
        const char* what;
        int lateMs;  // the stand-in answers the pause as unanswered and makes it this much later
        const char* pauseAnswer;
    } rows[] = {
        {"a pause answered", -1, "0 "},
        {"a pause that lands after the guard gave up on it", 100, "10004 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PrivateBus::Options options;
        options.lateFirstMs = row.lateMs;
        const PrivateBus bus(options);
        ASSERT_TRUE(bus.ok()) << bus.error();
        fs::remove(state());
        int in[2], out[2];
        ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        const pid_t guard = fork();
        ASSERT_GE(guard, 0);
        if (guard == 0) {
            prctl(PR_CAPBSET_DROP, kCapSysTime);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            setenv("FAKECLOCK_STATE", state().c_str(), 1);
            setenv("LD_PRELOAD", RAVODOR_FAKECLOCK_SO, 1);
            setenv("TZ", "UTC", 1);
            execl(RAVODOR_GUARD, RAVODOR_GUARD, nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        FILE* answers = fdopen(out[0], "r");
        char line[512];
        const auto ask = [&](const std::string& request) {
            EXPECT_EQ(write(in[1], request.data(), request.size()), ssize_t(request.size()));
            return std::fgets(line, sizeof line, answers) ? std::string(line) : std::string();
        };
        EXPECT_EQ(ask("sync-off 0\n").rfind(row.pauseAnswer, 0), 0u) << line;
        std::this_thread::sleep_for(std::chrono::milliseconds(600));  // landed, and its 0.3 s job done
        EXPECT_EQ(ask("date 2031-03-15 0\n").rfind("0 ", 0), 0u) << line;
        close(in[1]);
        int status = 0;
        EXPECT_EQ(waitpid(guard, &status, 0), guard);
        std::fclose(answers);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kPutRight) << status;
        EXPECT_LT(std::llabs(fakeNumber("offset_ns")), kNsPerSecond);
        EXPECT_EQ(makeTimeService()->syncState(), SyncState::On);
    }
}

// A guard that ends while a request is under way may have carried it out:
// the program hears "not confirmed", never a refusal, and sees it gone.
TEST_F(GuardUnixTest, AGuardThatEndsMidRequestLeavesItUnconfirmed)
{
    if (const std::string missing = PrivateBus::missingTools(); !missing.empty())
        GTEST_SKIP() << missing;
    const PrivateBus bus;  // sync on: the time service refuses the shift for seconds
    ASSERT_TRUE(bus.ok()) << bus.error();
    // For the guard the client starts: a fake clock that may not be set, so
    // the guard asks the time service.
    struct Environment {
        explicit Environment(const std::string& fakeState)
        {
            setenv("FAKECLOCK_STATE", fakeState.c_str(), 1);
            setenv("FAKECLOCK_DENY", "1", 1);
            setenv("LD_PRELOAD", RAVODOR_FAKECLOCK_SO, 1);
        }
        ~Environment()
        {
            for (const char* name : {"FAKECLOCK_STATE", "FAKECLOCK_DENY", "LD_PRELOAD"})
                unsetenv(name);
        }
    } environment(state());
    const auto clock = makeSystemClock();
    const auto guard = makeGuardedChanger(*clock, "ravodor");
    ASSERT_TRUE(guard->startGuard());
    const pid_t pid = static_cast<pid_t>(guard->guardPid());
    std::thread killer([pid] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(pid, SIGKILL);
    });
    const AppError answer = guard->setDate({2031, 3, 15}, false);
    killer.join();
    EXPECT_EQ(answer.number, kErrUnconfirmed) << answer.description;
    EXPECT_FALSE(guard->guardRunning());
}

TEST(GuardUnixStart, TheProgramFindsTheGuardOnlyWhereItWasBuiltOrInstalled)
{
    // Not installed: the build folder's, whatever folder the caller is in.
    EXPECT_EQ(guardExecutablePath(), RAVODOR_GUARD);
}

// Not a check: the figures for docs/benchmarks.md. Run with
// --gtest_also_run_disabled_tests --gtest_filter=*Measure*
TEST_F(GuardUnixTest, DISABLED_MeasureTheRealDateBackAfterKill9)
{
    const char* runs = std::getenv("RAVODOR_GUARD_RUNS");
    std::vector<double> ms(runs ? std::atoi(runs) : 20);
    for (double& one : ms) {
        one = double(run({"wait", SIGKILL, SIGKILL, kPutRight})) / 1e6;
        ASSERT_FALSE(HasFailure());
        endAll();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("runs %zu  median %.2f ms  p10 %.2f  p90 %.2f  max %.2f\n", ms.size(), ms[ms.size() / 2],
                ms[ms.size() / 10], ms[ms.size() * 9 / 10], ms.back());
}

}  // namespace
