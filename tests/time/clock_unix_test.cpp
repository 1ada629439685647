// The Linux clock backend. Nothing here sets the date in this process: every
// set runs in clock_probe, a child without the right to set the clock. The
// sets that should succeed also preload fakeclock, which records the wanted
// time in a state file and never passes it on to the kernel.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "clockright.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kProbe = RAVODOR_CLOCK_PROBE;
constexpr const char* kFakeclock = RAVODOR_FAKECLOCK_SO;
constexpr int kCapSetpcap = 8;

using Fields = std::map<std::string, std::string>;

std::optional<unsigned long long> capabilitySet(const std::string& name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0)
            return std::strtoull(line.c_str() + name.size() + 1, nullptr, 16);
    }
    return std::nullopt;
}

bool hasBit(const std::optional<unsigned long long>& set, int bit)
{
    return set && ((*set >> bit) & 1U);
}

// Why a child of this process could set the real clock, or nothing.
std::optional<std::string> clockRightProblem()
{
    for (const char* set : {"CapEff", "CapPrm", "CapAmb"}) {
        const auto caps = capabilitySet(set);
        if (!caps)
            return std::string("cannot read ") + set + " from /proc/self/status";
        if (hasBit(caps, kCapSysTime))
            return std::string("this process holds CAP_SYS_TIME (") + set
                   + "); run the tests as: setpriv --inh-caps=-sys_time"
                     " --bounding-set=-sys_time ./platform_tests";
    }
    return std::nullopt;
}

// Only with CAP_SETPCAP can the bounding set be narrowed; a plain user has
// no clock right to drop in the first place.
bool canDropFromBoundingSet()
{
    return hasBit(capabilitySet("CapEff"), kCapSetpcap);
}

Fields parseFields(const std::string& text)
{
    Fields fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

std::int64_t number(const Fields& fields, const std::string& key)
{
    const auto it = fields.find(key);
    return it == fields.end() ? 0 : std::stoll(it->second);
}

struct ProbeRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr
    Fields fields;

    int error() const { return static_cast<int>(number(fields, "error")); }
    std::string description() const
    {
        const auto it = fields.find("description");
        return it == fields.end() ? "<none>" : it->second;
    }
};

// Runs the probe with `env` on top of this environment, minus anything that
// would change what it does unasked (preload, fakeclock, time zone).
ProbeRun runProbe(const std::vector<std::string>& args, const Fields& env)
{
    ProbeRun run;
    if (const auto problem = clockRightProblem()) {
        run.output = "not started: " + *problem;
        return run;
    }

    std::vector<std::string> argv;
    if (canDropFromBoundingSet())
        argv = {"setpriv", "--inh-caps=-sys_time", "--bounding-set=-sys_time"};
    argv.push_back(kProbe);
    argv.insert(argv.end(), args.begin(), args.end());

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        if (key != "LD_PRELOAD" && key != "TZ" && key.rfind("FAKECLOCK_", 0) != 0)
            envStrings.push_back(entry);
    }
    for (const auto& [key, value] : env)
        envStrings.push_back(key + "=" + value);

    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<char*> cenv;
    for (auto& e : envStrings)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        run.output = std::string("pipe: ") + std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        run.output = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return run;
    }

    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            run.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.fields = parseFields(run.output);
    return run;
}

std::vector<std::string> dateArgs(const CivilDate& d)
{
    return {std::to_string(d.year), std::to_string(d.month), std::to_string(d.day)};
}

std::string text(const CivilDate& d)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buffer;
}

bool zoneInstalled(const std::string& zone)
{
    const char* dir = std::getenv("TZDIR");
    return fs::exists(fs::path(dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo") / zone);
}

// TZ for this process for the lifetime of the object.
class ScopedTz {
public:
    explicit ScopedTz(const std::string& zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone.c_str(), 1);
        tzset();
    }
    ~ScopedTz()
    {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<std::string> old_;
};

struct LocalTime {
    CivilDate date;
    std::int64_t nsOfDay = 0;
    bool dst = false;
};

LocalTime localTime(const std::string& zone, std::int64_t epochNs)
{
    ScopedTz tz(zone);
    const time_t seconds = static_cast<time_t>(epochNs / kNsPerSecond - (epochNs % kNsPerSecond < 0));
    std::tm tm{};
    localtime_r(&seconds, &tm);
    LocalTime local;
    local.date = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    local.nsOfDay = (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) * kNsPerSecond
                    + (epochNs - std::int64_t(seconds) * kNsPerSecond);
    local.dst = tm.tm_isdst > 0;
    return local;
}

// How far the set time of day lies after `before`, less `shiftSeconds`, on a
// day that wraps around.
std::int64_t timeOfDayDrift(const LocalTime& before, const LocalTime& set, int shiftSeconds)
{
    std::int64_t drift = (set.nsOfDay - before.nsOfDay - shiftSeconds * kNsPerSecond) % kNsPerDay;
    if (drift < -kNsPerDay / 2)
        drift += kNsPerDay;
    if (drift >= kNsPerDay / 2)
        drift -= kNsPerDay;
    return drift;
}

std::int64_t realNowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

// ---------------------------------------------------------------------------
// Reading the clock

struct ZoneCase {
    const char* zone;
    std::int64_t epochSeconds;
    CivilDate expected;
};

TEST(ClockUnixLocalDate, FollowsTheTimeZoneAndItsDaylightSaving)
{
    const ZoneCase cases[] = {
        {"UTC", 0, {1970, 1, 1}},
        {"UTC", -1, {1969, 12, 31}},
        {"UTC", 86399, {1970, 1, 1}},
        {"UTC", 86400, {1970, 1, 2}},
        {"UTC", 951825600, {2000, 2, 29}},
        // 2026-07-14 22:30 UTC is past midnight only with summer time (+2).
        {"Europe/Amsterdam", 1784068200, {2026, 7, 15}},
        {"Europe/Amsterdam", 1784064600, {2026, 7, 14}},
        // In winter (+1) 23:30 UTC is past midnight, 22:30 UTC is not.
        {"Europe/Amsterdam", 1768433400, {2026, 1, 15}},
        {"Europe/Amsterdam", 1768429800, {2026, 1, 14}},
        {"America/New_York", 1784080800, {2026, 7, 14}},
    };
    const auto clock = makeSystemClock();
    for (const auto& c : cases) {
        if (!zoneInstalled(c.zone))
            GTEST_SKIP() << "time zone " << c.zone << " is not installed (tzdata)";
        ScopedTz tz(c.zone);
        EXPECT_EQ(text(clock->localDate(c.epochSeconds)), text(c.expected))
            << c.zone << " at " << c.epochSeconds;
    }
}

TEST(ClockUnixReadings, WallClockIsInSecondsAndSteadyClockInMilliseconds)
{
    const auto clock = makeSystemClock();
    const std::int64_t wall = clock->now();
    EXPECT_LE(std::llabs(wall - static_cast<std::int64_t>(std::time(nullptr))), 2);

    const std::int64_t start = clock->steadyMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const std::int64_t elapsed = clock->steadyMs() - start;
    EXPECT_GE(elapsed, 120);
    EXPECT_LT(elapsed, 10000);
}

// ---------------------------------------------------------------------------
// Setting the date, in clock_probe

class ClockUnixSet : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto problem = clockRightProblem();
        ASSERT_FALSE(problem) << "refusing to run a test that sets the clock: " << *problem;
        std::string pattern = (fs::temp_directory_path() / "ravodor-clock-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!dir_.empty())
            fs::remove_all(dir_, ignored);
    }

    fs::path dir_;
};

class ClockUnixFakeSet : public ClockUnixSet {
protected:
    void SetUp() override
    {
        ClockUnixSet::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(fs::exists(kFakeclock)) << kFakeclock;
    }

    // A state file of its own for every series of sets.
    std::string newState()
    {
        return (dir_ / ("fakeclock-" + std::to_string(++states_) + ".state")).string();
    }

    // Makes the probe's wall clock start at `start` local time in `zone`.
    void startAt(const std::string& state, const std::string& zone, const std::tm& start)
    {
        std::tm tm = start;
        tm.tm_isdst = -1;
        time_t instant = 0;
        {
            ScopedTz tz(zone);
            instant = std::mktime(&tm);
        }
        std::ofstream out(state);
        out << "offset_ns=" << std::int64_t(instant) * kNsPerSecond - realNowNs()
            << "\nset_count=0\nlast_set_ns=0\n";
    }

    static Fields readState(const std::string& state)
    {
        std::ifstream in(state);
        std::stringstream content;
        content << in.rdbuf();
        return parseFields(content.str());
    }

    ProbeRun set(const std::string& state, const std::string& zone, const std::vector<std::string>& args,
                 Fields extra = {})
    {
        extra["LD_PRELOAD"] = kFakeclock;
        extra["FAKECLOCK_STATE"] = state;
        extra["TZ"] = zone;
        return runProbe(args, extra);
    }

    int states_ = 0;
};

TEST_F(ClockUnixSet, WithoutTheRightTheKernelRefusesWithPermissionDenied)
{
    // The real kernel, no fakeclock: only today's date, so that even a broken
    // guard would move the clock by no more than the time the set takes.
    const ProbeRun run = runProbe({"today"}, {});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.error(), 70) << run.output;
    EXPECT_EQ(run.description(), "Permission denied");
}

TEST_F(ClockUnixFakeSet, MovesTheDateAndKeepsTheRunningTimeOfDayAcrossDaylightSaving)
{
    const std::string zone = "Europe/Amsterdam";
    if (!zoneInstalled(zone))
        GTEST_SKIP() << zone << " is not installed (tzdata)";
    // From the real time: to winter, then winter to summer, then summer to winter.
    const CivilDate targets[] = {{2026, 1, 15}, {2026, 7, 15}, {2026, 1, 20}};
    const std::string state = newState();
    int step = 0;
    for (const CivilDate& target : targets) {
        SCOPED_TRACE(text(target));
        const ProbeRun run = set(state, zone, dateArgs(target));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        ASSERT_EQ(run.error(), 0) << run.output;
        const Fields fake = readState(state);
        ASSERT_EQ(number(fake, "set_count"), ++step);

        const LocalTime before = localTime(zone, number(run.fields, "before_ns"));
        const LocalTime wanted = localTime(zone, number(fake, "last_set_ns"));
        EXPECT_EQ(text(wanted.date), text(target));
        const std::int64_t drift = timeOfDayDrift(before, wanted, 0);
        EXPECT_GE(drift, 0) << "the time of day went back\n" << run.output;
        EXPECT_LT(drift, 3 * kNsPerSecond) << run.output;
        if (step > 1) {
            EXPECT_NE(before.dst, wanted.dst) << "this step should cross daylight saving";
        }
        // The probe's clock reads the new date afterwards.
        EXPECT_EQ(text(localTime(zone, number(run.fields, "after_ns")).date), text(target));
    }
}

struct EdgeCase {
    const char* zone;
    std::tm start;       // the probe's local wall time before the set
    CivilDate target;
    int shiftSeconds;    // how far the wall time of day moves on; -1: refused
};

std::tm wallTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

TEST_F(ClockUnixFakeSet, KeepsTheWallTimeOfDayOnTheTargetDateAtTheEdges)
{
    const EdgeCase cases[] = {
        {"Europe/Amsterdam", wallTime(2026, 7, 15, 14, 30, 0), {2026, 1, 15}, 0},
        {"Europe/Amsterdam", wallTime(2026, 1, 15, 14, 30, 0), {2026, 7, 15}, 0},
        // Kept as wall time, so no daylight-saving hour pushes them over midnight.
        {"Europe/Amsterdam", wallTime(2026, 1, 15, 23, 59, 50), {2026, 7, 15}, 0},
        {"Europe/Amsterdam", wallTime(2026, 7, 15, 0, 0, 30), {2026, 1, 15}, 0},
        // 02:30 does not exist on 29 March: the clocks jump from 02:00 to 03:00.
        {"Europe/Amsterdam", wallTime(2026, 3, 20, 2, 30, 0), {2026, 3, 29}, 3600},
        // 02:30 happens twice on 25 October; either one shows 02:30.
        {"Europe/Amsterdam", wallTime(2026, 10, 20, 2, 30, 0), {2026, 10, 25}, 0},
        // Summer time began at midnight: 00:30 did not exist on 4 November 2018.
        {"America/Sao_Paulo", wallTime(2018, 10, 30, 0, 30, 0), {2018, 11, 4}, 3600},
        // Samoa skipped 30 December 2011 altogether.
        {"Pacific/Apia", wallTime(2011, 12, 25, 12, 0, 0), {2011, 12, 30}, -1},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " to " + text(c.target));
        if (!zoneInstalled(c.zone))
            GTEST_SKIP() << c.zone << " is not installed (tzdata)";
        const std::string state = newState();
        startAt(state, c.zone, c.start);
        const ProbeRun run = set(state, c.zone, dateArgs(c.target));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const LocalTime before = localTime(c.zone, number(run.fields, "before_ns"));
        ASSERT_EQ(before.date.day, c.start.tm_mday) << run.output;
        ASSERT_LT(before.nsOfDay - (c.start.tm_hour * 3600 + c.start.tm_min * 60 + c.start.tm_sec) * kNsPerSecond,
                  5 * kNsPerSecond) << run.output;

        const Fields fake = readState(state);
        if (c.shiftSeconds < 0) {
            EXPECT_EQ(run.error(), 5) << run.output;
            EXPECT_EQ(number(fake, "set_count"), 0);
            continue;
        }
        ASSERT_EQ(run.error(), 0) << run.output;
        ASSERT_EQ(number(fake, "set_count"), 1);
        const LocalTime wanted = localTime(c.zone, number(fake, "last_set_ns"));
        EXPECT_EQ(text(wanted.date), text(c.target)) << run.output;
        const std::int64_t drift = timeOfDayDrift(before, wanted, c.shiftSeconds);
        EXPECT_GE(drift, 0) << run.output;
        EXPECT_LT(drift, 3 * kNsPerSecond) << run.output;
    }
}

TEST(ClockUnixInstantOn, InTheAutumnFoldKeepsTheOffsetAndInTheSpringGapMovesOn)
{
    const struct {
        const char* zone;
        const char* what;
        int from[4];  // year, month, day, UTC hour; always at half past
        CivilDate target;
        int utcHour;  // of the instant on the target date, at half past
    } cases[] = {
        // Berlin leaves summer time (UTC+2) on 25 October 2026 at 03:00, back to 02:00 (UTC+1).
        {"Europe/Berlin", "the first 02:30", {2026, 10, 25, 0}, {2026, 10, 25}, 0},
        {"Europe/Berlin", "the second 02:30", {2026, 10, 25, 1}, {2026, 10, 25}, 1},
        {"Europe/Berlin", "summer to the fold", {2026, 7, 1, 0}, {2026, 10, 25}, 0},
        {"Europe/Berlin", "winter to the fold", {2001, 12, 12, 1}, {2026, 10, 25}, 1},
        // 02:30 on 29 March 2026 does not exist: 03:30 summer time.
        {"Europe/Berlin", "into the gap", {2026, 3, 20, 1}, {2026, 3, 29}, 1},
        // New York leaves UTC-4 on 1 November 2026 at 02:00, back to 01:00 (UTC-5).
        {"America/New_York", "the first 01:30", {2026, 11, 1, 5}, {2026, 11, 1}, 5},
        {"America/New_York", "the second 01:30", {2026, 11, 1, 6}, {2026, 11, 1}, 6},
        {"America/New_York", "summer to the fold", {2026, 7, 1, 5}, {2026, 11, 1}, 5},
        {"America/New_York", "winter to the fold", {2026, 12, 1, 6}, {2026, 11, 1}, 6},
        // 02:30 on 8 March 2026 does not exist: 03:30 daylight time.
        {"America/New_York", "into the gap", {2026, 3, 1, 7}, {2026, 3, 8}, 7},
    };
    // A quarter second on top, which must come through as it is.
    const auto utcNs = [](int year, int month, int day, int hour) {
        std::tm tm = wallTime(year, month, day, hour, 30, 0);
        return std::int64_t(timegm(&tm)) * kNsPerSecond + kNsPerSecond / 4;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + ": " + c.what);
        if (!zoneInstalled(c.zone))
            GTEST_SKIP() << c.zone << " is not installed (tzdata)";
        std::vector<std::string> args = dateArgs(c.target);
        args.insert(args.begin(), "instant-on");
        args.push_back(std::to_string(utcNs(c.from[0], c.from[1], c.from[2], c.from[3])));
        const ProbeRun run = runProbe(args, {{"TZ", c.zone}});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.error(), 0) << run.output;
        const std::int64_t expected = utcNs(c.target.year, c.target.month, c.target.day, c.utcHour);
        EXPECT_EQ(number(run.fields, "instant_ns"), expected)
            << "off by " << (number(run.fields, "instant_ns") - expected) / kNsPerSecond << " s";
    }
}

struct DateCase {
    CivilDate date;
    int error;
};

TEST_F(ClockUnixFakeSet, DaysThatDoNotExistAreRefusedBeforeAnySet)
{
    const DateCase cases[] = {
        {{2001, 2, 31}, 5}, {{2001, 2, 29}, 5}, {{2100, 2, 29}, 5}, {{2026, 4, 31}, 5},
        {{2026, 13, 1}, 5}, {{2026, 0, 10}, 5}, {{2026, 1, 0}, 5},  {{2026, 1, 32}, 5},
        {{2000, 2, 29}, 0}, {{2024, 2, 29}, 0},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(text(c.date));
        const std::string state = newState();
        const ProbeRun run = set(state, "UTC", dateArgs(c.date));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.error(), c.error) << run.output;
        const Fields fake = readState(state);
        if (c.error != 0) {
            EXPECT_EQ(run.description(), "Invalid procedure call or argument");
            EXPECT_EQ(number(fake, "set_count"), 0);
        } else {
            EXPECT_EQ(number(fake, "set_count"), 1);
            EXPECT_EQ(text(localTime("UTC", number(fake, "last_set_ns")).date), text(c.date));
        }
    }
}

TEST_F(ClockUnixFakeSet, DatesOutsideWhatTheKernelAcceptsAreInvalidCalls)
{
    // The kernel takes 1970 up to about 2232.
    const DateCase cases[] = {
        {{1969, 7, 20}, 5}, {{1900, 1, 1}, 5}, {{2300, 1, 1}, 5}, {{1970, 1, 2}, 0}, {{2200, 1, 1}, 0},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(text(c.date));
        const std::string state = newState();
        const ProbeRun run = set(state, "UTC", dateArgs(c.date));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.error(), c.error) << run.output;
        EXPECT_EQ(number(readState(state), "set_count"), c.error == 0 ? 1 : 0);
    }
}

TEST_F(ClockUnixFakeSet, RefusalsAndOtherFailuresKeepTheirOwnNumbers)
{
    {
        SCOPED_TRACE("no right to set the clock");
        const std::string state = newState();
        const ProbeRun run = set(state, "UTC", {"2026", "1", "15"}, {{"FAKECLOCK_DENY", "1"}});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.error(), 70) << run.output;
        EXPECT_EQ(run.description(), "Permission denied");
        EXPECT_EQ(number(readState(state), "set_count"), 0);
    }
    {
        // fakeclock cannot write its state there and fails the set with ENOENT.
        SCOPED_TRACE("any other failure");
        const std::string state = (dir_ / "missing" / "fakeclock.state").string();
        const ProbeRun run = set(state, "UTC", {"2026", "1", "15"});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.error(), 51) << run.output;
        EXPECT_NE(run.description().find(std::strerror(ENOENT)), std::string::npos) << run.description();
    }
}

}  // namespace
