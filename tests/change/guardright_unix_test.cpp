// What the guard does where it could use its own right: the machine's zone
// alone decides every move, and no move is made before its line is in the
// system log. Each guard runs in a namespace of its own (sandbox_unix.h) on
// the fake clock; the machine's zone is one with summer time.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "clockright.h"
#include "sandbox_unix.h"
#include "systemzone.h"

// The sanitizers' own checks need descriptors (a pipe to probe memory):
// with none left they, not the guard, would be tested.
#if defined(__SANITIZE_ADDRESS__)
#define RAVODOR_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAVODOR_SANITIZED 1
#endif
#endif
#ifndef RAVODOR_SANITIZED
#define RAVODOR_SANITIZED 0
#endif

namespace {

namespace fs = std::filesystem;

const char kSystemZone[] = "/usr/share/zoneinfo/Europe/Berlin";

// The machine's zone and `ns` in it.
std::tm inSystemZone(std::int64_t ns)
{
    setenv("TZ", (std::string(":") + kSystemZone).c_str(), 1);
    tzset();
    const time_t t = static_cast<time_t>(ns / kNsPerSecond);
    std::tm tm{};
    localtime_r(&t, &tm);
    unsetenv("TZ");
    tzset();
    return tm;
}

// `text` (YYYY-MM-DD HH:MM:SS) in the machine's zone, in ns.
std::int64_t systemInstant(const char* text)
{
    std::tm tm{};
    strptime(text, "%Y-%m-%d %H:%M:%S", &tm);
    tm.tm_isdst = -1;
    setenv("TZ", (std::string(":") + kSystemZone).c_str(), 1);
    tzset();
    const std::int64_t seconds = std::mktime(&tm);
    unsetenv("TZ");
    tzset();
    return seconds * kNsPerSecond;
}

std::string isoDay(const std::tm& tm)
{
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

class GuardRightTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(mayHoldClockRight()) << "refusing to run with CAP_SYS_TIME: run the tests through "
                                             "setpriv --inh-caps=-sys_time --bounding-set=-sys_time";
        std::string pattern = (fs::temp_directory_path() / "ravodor-right-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // Whether namespaces of its own can be had here at all.
        const int status = runIn({kSystemZone, false, ""}, [] { return 0; });
        if (status != 0)
            GTEST_SKIP() << "no user and mount namespace of the test's own here: " << why_;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // `work`'s exit status, run in `box` in a child.
    int runIn(const Sandbox& box, const std::function<int()>& work)
    {
        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0)
            return -1;
        const pid_t child = fork();
        if (child == 0) {
            prctl(PR_CAPBSET_DROP, kCapSysTime);
            const std::string failed = enterSandbox(box);
            if (!failed.empty()) {
                const std::string why = failed + ": " + std::strerror(errno);
                (void)!write(report[1], why.data(), why.size());
                _exit(100);
            }
            _exit(work());
        }
        close(report[1]);
        char why[256] = {};
        (void)!read(report[0], why, sizeof why - 1);
        close(report[0]);
        why_ = why;
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    struct Guard {
        pid_t pid = 0;
        int input = -1, errors = -1;
        FILE* answers = nullptr;
        std::string state;
    };

    // Starts the guard in `box` with `env` on the fake clock of `state`;
    // through `sh -c` with `shellArgs` when there are any, so that the shell
    // is the program that asks.
    Guard start(const Sandbox& box, const std::vector<std::string>& env, const std::vector<std::string>& shellArgs = {},
                const std::string& state = "")
    {
        Guard guard;
        guard.state = state.empty() ? this->state() : state;
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return guard;
        guard.pid = fork();
        if (guard.pid == 0) {
            prctl(PR_CAPBSET_DROP, kCapSysTime);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            if (!enterSandbox(box).empty())
                _exit(100);
            setenv("FAKECLOCK_STATE", guard.state.c_str(), 1);
            setenv("LD_PRELOAD", RAVODOR_FAKECLOCK_SO, 1);
            setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ravodor-no-bus", 1);
            for (const std::string& e : env)
                putenv(const_cast<char*>(e.c_str()));
            if (shellArgs.empty()) {
                execl(RAVODOR_GUARD, RAVODOR_GUARD, nullptr);
            } else {
                std::vector<char*> argv = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                                           const_cast<char*>(RAVODOR_GUARD "; :")};
                for (const std::string& a : shellArgs)
                    argv.push_back(const_cast<char*>(a.c_str()));
                argv.push_back(nullptr);
                execv("/bin/sh", argv.data());
            }
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        guard.input = in[1];
        guard.answers = fdopen(out[0], "r");
        guard.errors = err[0];
        return guard;
    }

    std::string ask(const Guard& guard, const std::string& request)
    {
        const std::string line = request + "\n";
        EXPECT_EQ(write(guard.input, line.data(), line.size()), ssize_t(line.size()));
        char answer[512];
        return std::fgets(answer, sizeof answer, guard.answers) ? answer : "";
    }

    // Ends its input; its exit status, and what it said on its standard error.
    int finish(const Guard& guard, std::string* said = nullptr)
    {
        close(guard.input);
        int status = 0;
        waitpid(guard.pid, &status, 0);
        std::fclose(guard.answers);
        char text[1024] = {};
        (void)!read(guard.errors, text, sizeof text - 1);
        close(guard.errors);
        if (said)
            *said = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string state() const { return (dir_ / "fakeclock.state").string(); }
    std::int64_t fake(const std::string& name, const std::string& state = "") const
    {
        std::ifstream in(state.empty() ? this->state() : state);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(name + "=", 0) == 0)
                return std::stoll(line.substr(name.size() + 1));
        }
        return 0;
    }
    fs::path dir_;
    std::string why_;
};

// Whatever zone the caller names, the time of day kept is the machine's:
// every move is whole days in the machine's zone, its own offset difference
// included, on dates of both seasons and before summer time there.
TEST_F(GuardRightTest, NoZoneOfTheCallersMovesTheTimeOfDay)
{
    std::vector<std::string> zones = {"", "XST0XDT-13:37:42,M3.2.0,M11.1.0", ":Africa/Monrovia", "../../../etc/passwd",
                                      "Asia/../Asia/Kathmandu", "zone.tab", "/usr/share/zoneinfo/posixrules", "UTC"};
    for (const auto& entry : fs::recursive_directory_iterator("/usr/share/zoneinfo")) {
        if (entry.is_regular_file() && entry.path().string().find("/right/") == std::string::npos)
            zones.push_back(entry.path().lexically_relative("/usr/share/zoneinfo").string());
    }
    ASSERT_GT(zones.size(), 400u);
    // A sanitized guard starts ten times slower; a sample of the zones finds
    // its memory errors as well as all of them would.
    if (RAVODOR_SANITIZED) {
        for (std::size_t i = 1; i * 16 < zones.size(); ++i)
            zones[i] = zones[i * 16];
        zones.resize((zones.size() + 15) / 16);
    }
    const char* days[] = {"2031-07-15", "1971-06-01", "2031-01-15", "1985-06-01"};
    // A few guards at a time: each start costs more than its requests.
    constexpr std::size_t kAtOnce = 8;
    for (std::size_t first = 0; first < zones.size(); first += kAtOnce) {
        std::vector<Guard> guards;
        for (std::size_t i = first; i < std::min(first + kAtOnce, zones.size()); ++i) {
            const std::string state = (dir_ / ("state" + std::to_string(i - first))).string();
            fs::remove(state);
            guards.push_back(start({kSystemZone, false, ""}, {"TZ=" + zones[i]}, {}, state));
            ASSERT_GT(guards.back().pid, 0);
        }
        std::vector<std::int64_t> before(guards.size(), 0);
        for (const char* day : days) {
            for (std::size_t g = 0; g < guards.size(); ++g) {
                SCOPED_TRACE("TZ=" + zones[first + g]);
                const std::string answer = ask(guards[g], std::string("date ") + day + " 0");
                EXPECT_EQ(answer.rfind("0 ", 0), 0u) << day << ": " << answer;
                const std::string& state = guards[g].state;
                const std::int64_t fromNs = fake("last_set_real_ns", state) + before[g];
                before[g] = fake("offset_ns", state);
                const std::tm from = inSystemZone(fromNs), to = inSystemZone(fake("last_set_ns", state));
                EXPECT_EQ(isoDay(to), day);
                const int drift = ((to.tm_hour - from.tm_hour) * 3600 + (to.tm_min - from.tm_min) * 60
                                   + to.tm_sec - from.tm_sec + 86400) % 86400;
                EXPECT_TRUE(drift <= 1 || drift >= 86399) << day << ": the time of day moved by " << drift << " s";
            }
        }
        for (const Guard& guard : guards)
            EXPECT_EQ(finish(guard), 3);
        if (HasFailure())
            return;
    }
}

// The limit itself, in the machine's zone: whole days plus the offset
// difference, the day before standing in for a target the zone skips.
TEST_F(GuardRightTest, TheLimitIsWholeDaysInTheMachinesZone)
{
    const std::int64_t winter = systemInstant("2031-03-20 02:30:00");
    const std::int64_t hour = 3600 * kNsPerSecond;
    const struct {
        const char* what;
        std::int64_t fromNs, toNs;
        bool allowed;
    } rows[] = {
        {"whole days in one season", winter, winter + 3 * kNsPerDay, true},
        // 02:30 in winter to 02:30 in summer: an hour less of UTC.
        {"into summer time", winter, systemInstant("2031-04-20 02:30:00"), true},
        {"into summer time, the other way round", winter, systemInstant("2031-04-20 02:30:00") + 2 * hour, false},
        // 2031-03-30 skips 02:30: it becomes 03:30 summer time.
        {"onto the skipped hour", winter, systemInstant("2031-03-30 03:30:00"), true},
        {"a whole hour more", winter, winter + 3 * kNsPerDay + hour, false},
        {"a second more", winter, winter + 3 * kNsPerDay + kNsPerSecond, false},
    };
    const int failed = runIn({kSystemZone, false, ""}, [&rows] {
        // The C library reads a zone file again only for another TZ.
        setenv("TZ", "UTC0", 1);
        tzset();
        unsetenv("TZ");
        tzset();
        const SystemZoneLimit limit;
        int wrong = 0;
        for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
            wrong |= (limit.allows(rows[i].fromNs, rows[i].toNs) != rows[i].allowed) << i;
        return wrong;
    });
    for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_FALSE(failed >> i & 1) << rows[i].what;
}

// A datagram socket of the test's, bound at a path: the system log.
class LogSocket {
public:
    explicit LogSocket(const fs::path& path) : path_(path)
    {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~LogSocket() { close(fd_); }
    // Fills its queue, so that the next sender waits until a line is taken.
    int fill()
    {
        const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int count = 0;
        while (send(sender, "filler", 6, 0) == 6)
            ++count;
        close(sender);
        return count;
    }
    // The lines that came, without the ones fill() sent; the syslog header
    // up to the guard's name left off.
    std::vector<std::string> lines()
    {
        std::vector<std::string> got;
        char text[4096];
        pollfd ready{fd_, POLLIN, 0};
        while (poll(&ready, 1, 200) > 0) {
            const ssize_t n = recv(fd_, text, sizeof text, 0);
            const std::string line(text, n > 0 ? std::size_t(n) : 0);
            const auto name = line.find(" ravodor-guard[");
            if (line.rfind("<85>", 0) == 0 && name != std::string::npos)
                got.push_back(line.substr(line.find("]: ", name) + 3));
            else if (line != "filler")
                got.push_back("unexpected: " + line);
        }
        return got;
    }

private:
    fs::path path_;
    int fd_ = -1;
};

// With its own right the guard says what it is about to do before it does
// it, attested parts first and the caller's word last and quoted; where no
// line can get through, it makes no change with that right.
TEST_F(GuardRightTest, EveryChangeWithItsOwnRightHasItsLineFirst)
{
    const fs::path socketPath = dir_ / "log";
    const std::string fileSeam = "RAVODOR_GUARD_LOG=" + (dir_ / "seam").string();
    const std::string user = "user root (uid 0), request ";
    const struct {
        const char* what;
        bool logThere;
        std::vector<std::string> env, shellArgs, requests, answers;
        int sets;
        std::vector<std::string> lines;  // each line's start; "…" ends one that goes on
    } rows[] = {
        {"a date and the way back", true, {fileSeam}, {}, {"date 2031-03-15 0"}, {"0 "}, 2,
         {user + "\"date 2031-03-15 0\": date 2031-03-15, clock to be set to ",
          user + "\"end of input\": back to the real instant, clock to be set to "}},
        {"a refused set", true, {"FAKECLOCK_DENY=1"}, {}, {"date 2031-03-15 0"}, {"70 "}, 0,
         {user + "\"date 2031-03-15 0\": date 2031-03-15, clock to be set to ",
          user + "\"date 2031-03-15 0\": the clock was not set (Permission denied); the caller's word: "}},
        {"an adopted real date", true, {}, {}, {"adopt 2031-03-15 0"}, {"0 "}, 1,
         {user + "\"end of input\": back to 2031-03-15, the real date as adopted, clock to be set to "}},
        {"a caller with a line break and quotes in its arguments", true, {}, {"x\ny\"z\\", "\x01"},
         {"date 2031-03-15 0"}, {"0 "}, 2,
         {user + "\"date 2031-03-15 0\": date 2031-03-15, clock to be set to ",
          std::string("…; the caller's word: program \"/usr/bin/dash\", pid ")}},
        {"no /dev/log", false, {}, {}, {"date 2031-03-15 0"}, {"70 "}, 0, {}},
        // The machine's hold is the first to need one, and refuses first.
        {"no descriptor left for the log", true, {"FAKECLOCK_NOFILE=3"}, {}, {"date 2031-03-15 0"}, {"10007 "}, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (RAVODOR_SANITIZED && !row.env.empty() && row.env[0].rfind("FAKECLOCK_NOFILE=", 0) == 0)
            continue;
        fs::remove(state());
        fs::remove(dir_ / "seam");
        fs::remove(socketPath);
        LogSocket log(socketPath);
        const Guard guard =
            start({kSystemZone, true, row.logThere ? socketPath.string() : ""}, row.env, row.shellArgs);
        ASSERT_GT(guard.pid, 0);
        for (std::size_t i = 0; i < row.requests.size(); ++i)
            EXPECT_EQ(ask(guard, row.requests[i]).rfind(row.answers[i], 0), 0u) << row.requests[i];
        std::string said;
        finish(guard, &said);
        EXPECT_EQ(fake("set_count"), row.sets);
        const std::vector<std::string> lines = log.lines();
        ASSERT_EQ(lines.size(), row.lines.size()) << (lines.empty() ? said : lines.back());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& start = row.lines[i];
            if (start.rfind("…", 0) == 0)
                EXPECT_NE(lines[i].find(start.substr(std::strlen("…"))), std::string::npos) << lines[i];
            else
                EXPECT_EQ(lines[i].rfind(start, 0), 0u) << lines[i];
            // Whatever the caller says stays inside its quotes, on the one line.
            EXPECT_EQ(lines[i].find('\n'), std::string::npos);
            const std::string mark = "; the caller's word: program \"";
            const auto word = lines[i].find(mark);
            ASSERT_NE(word, std::string::npos) << lines[i];
            EXPECT_EQ(lines[i].back(), '"');
            EXPECT_EQ(lines[i].find('"', word + mark.size()), lines[i].find("\", pid ", word));
        }
        if (!row.shellArgs.empty() && !lines.empty()) {
            EXPECT_NE(lines[0].find(std::string("arguments \"sh -c ") + RAVODOR_GUARD + "; : x\\x0ay\\x22z\\x5c \\x01\""),
                      std::string::npos)
                << lines[0];
        }
        // The tests' file takes no line from a guard that could use its own right.
        EXPECT_FALSE(fs::exists(dir_ / "seam"));
        if (row.sets == 0 && row.lines.empty()) {
            EXPECT_NE(said.find("the system log cannot be reached"), std::string::npos) << said;
        }
    }
}

// The line is taken before the clock moves: with the log's queue full, the
// guard waits, and the clock with it.
TEST_F(GuardRightTest, TheClockWaitsForTheLine)
{
    const fs::path socketPath = dir_ / "log";
    LogSocket log(socketPath);
    ASSERT_GT(log.fill(), 0);
    const Guard guard = start({kSystemZone, true, socketPath.string()}, {});
    ASSERT_GT(guard.pid, 0);
    EXPECT_EQ(write(guard.input, "date 2031-03-15 0\n", 18), 18);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(fake("set_count"), 0) << "the clock moved before its line was taken";
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find("user root (uid 0), request \"date 2031-03-15 0\": date 2031-03-15"), 0u) << lines[0];
    char answer[64] = {};
    EXPECT_NE(std::fgets(answer, sizeof answer, guard.answers), nullptr);
    EXPECT_EQ(std::string(answer).rfind("0 ", 0), 0u) << answer;
    EXPECT_EQ(fake("set_count"), 1);
    finish(guard);
}

}  // namespace
