// The guard on Linux, end to end: guard_probe writes a record, starts the
// real guard and sets the fake clock, then ends as told. Every process here
// runs without the right to set the clock and with the fake clock preloaded;
// this test becomes their subreaper, so the guard is its child once the
// probe has gone, and nothing it started outlives it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "guard.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProbe = RAVODOR_GUARD_PROBE;
constexpr const char* kGuard = RAVODOR_GUARD;
constexpr const char* kFakeclock = RAVODOR_FAKECLOCK_SO;
constexpr int kCapSetpcap = 8;
constexpr int kCapSysTime = 25;
constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kNsPerSecond = 1000 * kNsPerMs;
// The guard's exit statuses.
constexpr int kNothingToDo = 0;
constexpr int kPutRight = 3;

unsigned long long capabilitySet(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(std::string(name) + ":", 0) == 0)
            return std::strtoull(line.c_str() + std::strlen(name) + 1, nullptr, 16);
    }
    return ~0ULL;  // unreadable: assume the worst
}

bool holds(const char* set, int bit)
{
    return (capabilitySet(set) >> bit) & 1U;
}

std::int64_t realNowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

std::map<std::string, std::string> fields(const std::string& text)
{
    std::map<std::string, std::string> result;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            result[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return result;
}

// Children of this process, its subreaped orphans included.
std::vector<pid_t> ownChildren()
{
    std::vector<pid_t> pids;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream file(task.path() / "children");
        pid_t pid = 0;
        while (file >> pid)
            pids.push_back(pid);
    }
    return pids;
}

struct Ended {
    pid_t pid = 0;
    int status = 0;
};

// The next child that ends within `limit`; pid 0 when none does.
Ended nextEnded(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Ended ended;
    while ((ended.pid = waitpid(-1, &ended.status, WNOHANG)) <= 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ended;
}

class GuardUnixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* set : {"CapEff", "CapPrm", "CapAmb"})
            ASSERT_FALSE(holds(set, kCapSysTime))
                << "refusing to run with CAP_SYS_TIME (" << set << "): run the tests through "
                   "setpriv --inh-caps=-sys_time --bounding-set=-sys_time";
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0) << std::strerror(errno);
        std::string pattern = (fs::temp_directory_path() / "ravodor-guard-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir_ = pattern;
    }

    void TearDown() override
    {
        for (pid_t pid : ownChildren()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string state() const { return (dir_ / "fakeclock.state").string(); }
    fs::path recordFile() const { return dir_ / "config" / "Zaduziro" / "ravodor" / "RestoreRecord"; }

    std::map<std::string, std::string> fakeClock() const
    {
        std::ifstream in(state());
        std::stringstream text;
        text << in.rdbuf();
        return fields(text.str());
    }
    std::int64_t fakeNumber(const char* name) const
    {
        const auto values = fakeClock();
        const auto it = values.find(name);
        return it == values.end() ? 0 : std::stoll(it->second);
    }

    // Starts the probe in a process group of its own and reads up to "ready".
    void startProbe(const std::string& mode)
    {
        int out[2];
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        std::vector<std::string> args;
        // As root the bounding set decides what an exec may regain.
        if (holds("CapEff", kCapSetpcap))
            args = {"setpriv", "--inh-caps=-sys_time", "--bounding-set=-sys_time"};
        args.insert(args.end(), {kProbe, kGuard, mode});
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string config = (dir_ / "config").string();
        probe_ = fork();
        ASSERT_GE(probe_, 0);
        if (probe_ == 0) {
            setpgid(0, 0);
            dup2(out[1], STDOUT_FILENO);
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            setenv("FAKECLOCK_STATE", state().c_str(), 1);
            setenv("LD_PRELOAD", kFakeclock, 1);
            unsetenv("FAKECLOCK_DENY");
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::string output;
        char buffer[256];
        ssize_t got = 0;
        while (output.find("ready\n") == std::string::npos
               && ((got = read(out[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))) {
            if (got > 0)
                output.append(buffer, static_cast<std::size_t>(got));
        }
        close(out[0]);
        ASSERT_NE(output.find("ready\n"), std::string::npos) << output;
        const auto values = fields(output);
        if (values.count("child_pid"))
            child_ = std::stoi(values.at("child_pid"));
        if (mode == "wait" || mode == "child") {  // the others may be over already
            ASSERT_TRUE(fs::exists(recordFile()));
            ASSERT_EQ(fakeNumber("set_count"), 1);
        }
    }

    // Reaps the probe, then waits for the guard to end; its exit status.
    int guardStatus(int* probeStatus)
    {
        EXPECT_EQ(waitpid(probe_, probeStatus, 0), probe_);
        for (;;) {
            const Ended ended = nextEnded(std::chrono::seconds(5));
            if (ended.pid == 0) {
                ADD_FAILURE() << "the guard did not end";
                return -1;
            }
            if (ended.pid != child_)
                return WIFEXITED(ended.status) ? WEXITSTATUS(ended.status) : 128 + WTERMSIG(ended.status);
        }
    }

    fs::path dir_;
    pid_t probe_ = 0;
    pid_t child_ = 0;
};

struct Ending {
    const char* mode;
    int signal;      // sent to the probe's process group; 0: it ends by itself
    int diesBy;      // the signal that ends the probe
};

TEST_F(GuardUnixTest, AnEndWithoutTheClosingStepsGetsTheRealDateBackWithinASecond)
{
    const Ending endings[] = {
        {"wait", SIGKILL, SIGKILL},
        {"segv", 0, SIGSEGV},
        {"abort", 0, SIGABRT},
        // Ctrl-C at the terminal reaches the guard too: it must outlive the probe.
        {"wait", SIGINT, SIGINT},
        // A command the program started does not hold the guard back.
        {"child", SIGKILL, SIGKILL},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(std::string(ending.mode) + " " + strsignal(ending.diesBy));
        fs::remove(state());
        child_ = 0;
        startProbe(ending.mode);
        if (HasFatalFailure())
            return;
        const std::int64_t endedAt = realNowNs();
        if (ending.signal)
            kill(ending.signal == SIGKILL ? probe_ : -probe_, ending.signal);
        int probeStatus = 0;
        EXPECT_EQ(guardStatus(&probeStatus), kPutRight);
        EXPECT_TRUE(WIFSIGNALED(probeStatus) && WTERMSIG(probeStatus) == ending.diesBy) << probeStatus;

        EXPECT_EQ(fakeNumber("set_count"), 2);
        EXPECT_LT(std::llabs(fakeNumber("offset_ns")), kNsPerSecond);
        if (ending.signal) {
            EXPECT_LT(fakeNumber("last_set_real_ns") - endedAt, kNsPerSecond);
        }
        EXPECT_FALSE(fs::exists(recordFile()));
        if (child_) {
            EXPECT_EQ(kill(child_, 0), 0) << "the started command should still run";
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
    }
}

TEST_F(GuardUnixTest, AfterANormalEndTheGuardSetsNothing)
{
    startProbe("normal");
    ASSERT_FALSE(HasFatalFailure());
    int probeStatus = 0;
    EXPECT_EQ(guardStatus(&probeStatus), kNothingToDo);
    EXPECT_TRUE(WIFEXITED(probeStatus) && WEXITSTATUS(probeStatus) == 0) << probeStatus;
    EXPECT_EQ(fakeNumber("set_count"), 2);  // the probe's own set and set-back
    EXPECT_FALSE(fs::exists(recordFile()));
}

TEST(GuardUnixStart, AGuardThatCannotBeStartedIsReportedAndTheInstalledPlaceIsFound)
{
    EXPECT_FALSE(makeGuardProcess("/nonexistent/ravodor-guard", "ravodor")->start());
    const fs::path guard = kGuard;
    EXPECT_EQ(guardExecutablePath(guard.parent_path().string()), guard.string());
    EXPECT_EQ(guardExecutablePath("/nonexistent"), "");

    // Installed: the program in bin/, the guard in libexec/ravodor/.
    std::string pattern = (fs::temp_directory_path() / "ravodor-install-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    fs::create_directories(root / "bin");
    fs::create_directories(root / "libexec" / "ravodor");
    fs::create_symlink(guard, root / "libexec" / "ravodor" / "ravodor-guard");
    EXPECT_EQ(guardExecutablePath((root / "bin").string()), (root / "bin" / ".." / "libexec" / "ravodor" / "ravodor-guard").string());
    fs::remove_all(root);
}

// Not a check: the figures for docs/benchmarks.md. Run with
// --gtest_also_run_disabled_tests --gtest_filter=*Measure*
TEST_F(GuardUnixTest, DISABLED_MeasureTheRealDateBackAfterKill9)
{
    const int runs = std::getenv("RAVODOR_GUARD_RUNS") ? std::atoi(std::getenv("RAVODOR_GUARD_RUNS")) : 20;
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        fs::remove(state());
        startProbe("wait");
        ASSERT_FALSE(HasFatalFailure());
        const std::int64_t endedAt = realNowNs();
        kill(probe_, SIGKILL);
        int probeStatus = 0;
        ASSERT_EQ(guardStatus(&probeStatus), kPutRight);
        ms.push_back(double(fakeNumber("last_set_real_ns") - endedAt) / kNsPerMs);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("runs %d  median %.2f ms  p10 %.2f  p90 %.2f  max %.2f\n", runs, ms[ms.size() / 2],
                ms[ms.size() / 10], ms[ms.size() * 9 / 10], ms.back());
}

}  // namespace
