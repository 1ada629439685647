// One change per machine, asked of the guard itself by two users (real uids
// of their own), on one fake clock and one hold file: what the program
// checks first, the guard enforces anyway.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "clock.h"
#include "clockhold.h"
#include "processinfo.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kUserA = 65534;  // nobody
constexpr uid_t kUserB = 65533;

// A guard run as `uid`, asked over a socket pair as the program asks it.
class GuardAs {
public:
    GuardAs(uid_t uid, const fs::path& shared)
    {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pair[1], STDIN_FILENO);
            dup2(pair[1], STDOUT_FILENO);
            setenv("LD_PRELOAD", RAVODOR_FAKECLOCK_SO, 1);
            setenv("FAKECLOCK_STATE", (shared / "clock.state").c_str(), 1);
            setenv("RAVODOR_CLOCK_HOLD", (shared / "hold").c_str(), 1);
            setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent", 1);
            if (setgroups(0, nullptr) != 0 || setresgid(uid, uid, uid) != 0 || setresuid(uid, uid, uid) != 0)
                _exit(126);
            execl(RAVODOR_GUARD, RAVODOR_GUARD, nullptr);
            _exit(127);
        }
        close(pair[1]);
        socket_ = pair[0];
    }
    ~GuardAs() { end(); }

    // The answer's number (0: done), its words in `words`.
    int ask(const std::string& request, std::string* words = nullptr)
    {
        const std::string line = request + '\n';
        if (send(socket_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
            return -1;
        std::string reply;
        char c = 0;
        while (recv(socket_, &c, 1, 0) == 1 && c != '\n')
            reply += c;
        if (words)
            *words = reply.substr(reply.find(' ', reply.find(' ') + 1) + 1);
        return reply.empty() ? -1 : std::atoi(reply.c_str());
    }
    // Its input ends, as when the program ends; its exit status.
    int end()
    {
        if (socket_ >= 0)
            close(socket_);
        socket_ = -1;
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_)
            pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void kill9()
    {
        ::kill(pid_, SIGKILL);
        end();
    }

private:
    pid_t pid_ = -1;
    int socket_ = -1;
};

class ClockHoldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to run the guard as two other users";
        std::string pattern = (fs::temp_directory_path() / "ravodor-hold-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        shared_ = pattern;
        // One machine: every user may write its clock and lock its hold.
        chmod(shared_.c_str(), 0777);
        std::ofstream(shared_ / "hold").flush();
        chmod((shared_ / "hold").c_str(), 0666);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(shared_, ignored);
    }

    // The fake clock's distance from the real one, in whole days.
    long daysAway() const
    {
        std::ifstream in(shared_ / "clock.state");
        for (std::string line; std::getline(in, line);)
            if (line.rfind("offset_ns=", 0) == 0)
                return std::lround(std::stod(line.substr(10)) / 86400e9);
        return 0;
    }
    static std::string realToday()
    {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
        return text;
    }

    fs::path shared_;
};

TEST_F(ClockHoldTest, WhileOneUsersChangeIsInEffectNoOtherGuardChangesAnything)
{
    GuardAs holder(kUserA, shared_);
    ASSERT_EQ(holder.ask("date 2030-01-01 0"), 0);
    const long away = daysAway();
    ASSERT_GT(away, 1000);
    const struct {
        uid_t uid;
        std::string request;
    } cases[] = {
        {kUserB, "date 2031-06-01 0"},
        {kUserB, "sync-off 0"},
        {kUserB, "adopt 2031-06-01 0"},
        {kUserB, "sync-on 0"},
        // The same user's restore retried through a new guard while the old one runs.
        {kUserA, "adopt " + realToday() + " 0"},
        {kUserA, "date 2031-06-01 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.uid) + ": " + c.request);
        GuardAs second(c.uid, shared_);
        std::string words;
        EXPECT_EQ(second.ask(c.request, &words), kErrClockHeld);
        EXPECT_EQ(words.rfind("The date is changed by nobody (process " + std::to_string(getpid()) + ") since ", 0), 0)
            << words;
        EXPECT_EQ(second.end(), 0);  // nothing to undo
        EXPECT_EQ(daysAway(), away);
    }
    EXPECT_EQ(holder.end(), 3);  // put right
    EXPECT_EQ(daysAway(), 0);
    // A holder whose real date is back leaves nothing that refuses anyone.
    GuardAs next(kUserB, shared_);
    EXPECT_EQ(next.ask("date 2031-06-01 0"), 0);
    EXPECT_EQ(next.end(), 3);
}

TEST_F(ClockHoldTest, AHolderKilledWithTheDateAlteredRefusesEveryChangeButItsOwnersWayBack)
{
    GuardAs holder(kUserA, shared_);
    ASSERT_EQ(holder.ask("date 2030-01-01 0"), 0);
    const long away = daysAway();
    holder.kill9();
    for (const uid_t uid : {kUserB, kUserA}) {  // the same user from another settings folder too
        SCOPED_TRACE(uid);
        GuardAs other(uid, shared_);
        std::string words;
        EXPECT_EQ(other.ask("date 2031-06-01 0", &words), kErrClockHeld);
        EXPECT_EQ(words, "The date was left changed by nobody (process " + std::to_string(getpid())
                             + ") and is not the real one; it comes back when nobody starts Ravodor again.");
        EXPECT_EQ(other.end(), 0);
        EXPECT_EQ(daysAway(), away);
    }
    // Another user cannot take over where the holder left the clock.
    GuardAs stranger(kUserB, shared_);
    EXPECT_EQ(stranger.ask("adopt " + realToday() + " 0"), kErrClockHeld);
    EXPECT_EQ(stranger.end(), 0);
    // The owner's next start: its record's real date, adopted, then undone.
    GuardAs owner(kUserA, shared_);
    EXPECT_EQ(owner.ask("adopt " + realToday() + " 0"), 0);
    EXPECT_EQ(owner.ask("undo 0"), 0);
    EXPECT_EQ(daysAway(), 0);
    GuardAs next(kUserB, shared_);
    EXPECT_EQ(next.ask("date 2031-06-01 0"), 0);
}

TEST(HoldNoteTest, OnlyANoteOfThisBootWhoseClockIsStillAwayCounts)
{
    const auto clock = makeSystemClock();
    const std::int64_t day = 86400 * kNsPerSecond;
    HoldNote note;
    note.uid = 65534;
    note.pid = 42;
    note.changed = true;
    note.anchorBootNs = clock->bootNs();
    note.bootId = currentBootId();
    const struct {
        const char* what;
        std::int64_t realMinusClockNs;
        bool changed;
        const char* bootId;  // nullptr: this boot's
        bool counts;
    } cases[] = {
        {"a day away", day, true, nullptr, true},
        {"a day behind", -day, true, nullptr, true},
        {"the clock real within a second", kNsPerSecond, true, nullptr, false},
        {"three seconds away", 3 * kNsPerSecond, true, nullptr, true},
        {"nothing changed", day, false, nullptr, false},
        {"of another boot", day, true, "another-boot", false},
        {"of no known boot", day, true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HoldNote n = note;
        n.anchorWallNs = clock->nowNs() + c.realMinusClockNs;
        n.changed = c.changed;
        if (c.bootId)
            n.bootId = c.bootId;
        HoldNote read;
        ASSERT_TRUE(parseHoldNote(formatHoldNote(n), &read));
        EXPECT_EQ(stillChanged(read, *clock), c.counts);
    }
    const std::string text = formatHoldNote(note);
    HoldNote ignored;
    for (const std::string& broken : {text.substr(0, text.size() - 1), "x" + text, std::string(),
                                      text.substr(0, text.find("pid=")) + text.substr(text.find("since_ns="))})
        EXPECT_FALSE(parseHoldNote(broken, &ignored)) << broken;
}

}  // namespace
