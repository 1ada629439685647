// The hold is an flock on a file every user may open and lock
// (/run/lock/ravodor-clock, 0666, made by the package's tmpfiles snippet at
// boot). flock rather than QLockFile or a pid file: it cannot go stale by
// age, a moved date, or a pid used again, and the kernel lets it go when
// its holder ends however it ends.

#include "clockhold.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "decimal.h"
#include "processinfo.h"

namespace {

const char kVersionLine[] = "ravodor-clock-hold=1";
const char* const kKeys[] = {"uid", "pid", "since_ns", "changed", "anchor_wall_ns", "anchor_boot_ns", "boot_id"};
constexpr std::size_t kFieldCount = sizeof kKeys / sizeof kKeys[0];
constexpr std::size_t kNoteMax = 1024;
// Within this of its anchor's real instant the clock shows the real date:
// the change a note tells of is over.
constexpr std::int64_t kBackWithinNs = 2 * kNsPerSecond;
// A look by another start holds the lock for a moment: a take waits that long.
constexpr int kTakeTries = 20;

std::string userName(std::int64_t uid)
{
    passwd entry{};
    passwd* found = nullptr;
    char names[1024];
    if (uid >= 0 && getpwuid_r(static_cast<uid_t>(uid), &entry, names, sizeof names, &found) == 0 && found)
        return found->pw_name;
    return "uid " + std::to_string(uid);
}

std::string localTimeText(std::int64_t ns)
{
    const time_t t = static_cast<time_t>(SystemClock::floorSeconds(ns));
    std::tm local{};
    char text[32] = "?";
    if (localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

AppError heldError(const std::string& words)
{
    return {kErrClockHeld, words, {}, 0};
}

const char kSomeoneWords[] = "The date is changed by another Ravodor; try again when the real date is back.";

}  // namespace

std::string formatHoldNote(const HoldNote& note)
{
    const std::string values[kFieldCount] = {
        std::to_string(note.uid),          std::to_string(note.pid),          std::to_string(note.sinceNs),
        note.changed ? "1" : "0",          std::to_string(note.anchorWallNs), std::to_string(note.anchorBootNs),
        note.bootId,
    };
    std::string text = std::string(kVersionLine) + '\n';
    for (std::size_t i = 0; i < kFieldCount; ++i)
        text += std::string(kKeys[i]) + '=' + values[i] + '\n';
    return text + "end\n";
}

bool parseHoldNote(const std::string& text, HoldNote* note)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size() || lines.size() != kFieldCount + 2 || lines.front() != kVersionLine
        || lines.back() != "end")
        return false;
    std::string values[kFieldCount];
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const std::string prefix = std::string(kKeys[i]) + '=';
        if (lines[i + 1].compare(0, prefix.size(), prefix) != 0)
            return false;
        values[i] = lines[i + 1].substr(prefix.size());
    }
    HoldNote parsed;
    if (!parseDecimal(values[0], &parsed.uid) || !parseDecimal(values[1], &parsed.pid)
        || !parseDecimal(values[2], &parsed.sinceNs) || (values[3] != "0" && values[3] != "1")
        || !parseDecimal(values[4], &parsed.anchorWallNs) || !parseDecimal(values[5], &parsed.anchorBootNs)
        || values[6].size() > 64)
        return false;
    parsed.changed = values[3] == "1";
    parsed.bootId = values[6];
    *note = parsed;
    return true;
}

bool stillChanged(const HoldNote& note, const SystemClock& clock)
{
    if (!note.changed || note.bootId.empty() || note.bootId != currentBootId())
        return false;
    std::int64_t elapsed = 0, real = 0, away = 0;
    if (__builtin_sub_overflow(clock.bootNs(), note.anchorBootNs, &elapsed)
        || __builtin_add_overflow(note.anchorWallNs, elapsed, &real)
        || __builtin_sub_overflow(clock.nowNs(), real, &away))
        return true;  // nothing agrees with the clock
    return away > kBackWithinNs || away < -kBackWithinNs;
}

std::string heldWords(const HoldNote& note)
{
    return "The date is changed by " + userName(note.uid) + " (process " + std::to_string(note.pid) + ") since "
           + localTimeText(note.sinceNs) + "; try again when the real date is back.";
}

std::string leftWords(const HoldNote& note)
{
    const std::string user = userName(note.uid);
    return "The date was left changed by " + user + " (process " + std::to_string(note.pid)
           + ") and is not the real one; it comes back when " + user + " starts Ravodor again.";
}

std::string clockHoldPath()
{
    // The tests' file only where no right of its own is at stake.
    const bool ownRight = mayUseClockRight();
    const char* file = ownRight ? nullptr : std::getenv("RAVODOR_CLOCK_HOLD");
    return file && *file ? file : RAVODOR_CLOCK_HOLD_FILE;
}

ClockHold::ClockHold(std::string path) : path_(std::move(path)) {}

ClockHold::~ClockHold()
{
    // Closing lets the lock go; the note stays as it is, for whoever comes next.
    if (fd_ >= 0)
        close(fd_);
}

bool ClockHold::open()
{
    if (fd_ >= 0)
        return true;
    // Not a link, a FIFO or a device a user put there.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (fd_ >= 0 && (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd_);
        fd_ = -1;
        errno = EINVAL;
    }
    openError_ = fd_ < 0 ? errno : 0;
    return fd_ >= 0;
}

AppError ClockHold::unopened() const
{
    // Where the package never made it (a build tree), changes are not held.
    if (openError_ == ENOENT)
        return AppError::none();
    return heldError("The machine's hold on the clock, " + path_ + ", cannot be opened (" + std::strerror(openError_)
                + "); the date was not changed.");
}

std::string ClockHold::readNote()
{
    char text[kNoteMax];
    const ssize_t got = pread(fd_, text, sizeof text, 0);
    return got > 0 ? std::string(text, static_cast<std::size_t>(got)) : std::string();
}

AppError ClockHold::take(Purpose purpose, std::int64_t uid, const HoldNote& mine, const SystemClock& clock)
{
    if (held_)
        return AppError::none();
    if (!open())
        return unopened();
    int tries = 0;
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || ++tries >= kTakeTries) {
            HoldNote other;
            return heldError(parseHoldNote(readNote(), &other) ? heldWords(other) : kSomeoneWords);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    HoldNote left;
    const bool told = parseHoldNote(readNote(), &left);
    const bool ownEarlier = purpose == TakeOver && told && left.uid == uid;
    if (purpose != WayBack && !ownEarlier && told && stillChanged(left, clock)) {
        flock(fd_, LOCK_UN);
        return heldError(leftWords(left));
    }
    held_ = true;
    note(mine);
    return AppError::none();
}

void ClockHold::note(const HoldNote& note)
{
    if (!held_)
        return;
    const std::string text = formatHoldNote(note);
    if (pwrite(fd_, text.data(), text.size(), 0) < 0 || ftruncate(fd_, static_cast<off_t>(text.size())) != 0) {
    }
}

void ClockHold::release()
{
    if (!held_)
        return;
    if (ftruncate(fd_, 0) != 0) {
    }
    flock(fd_, LOCK_UN);
    held_ = false;
}

AppError clockHeldElsewhere(const SystemClock& clock)
{
    ClockHold hold(clockHoldPath());
    if (!hold.open())
        return AppError::none();  // the guard says why
    HoldNote note;
    const bool known = parseHoldNote(hold.readNote(), &note);
    if (known && note.pid == currentProcessId())
        return AppError::none();  // this program's own guard
    if (flock(hold.fd_, LOCK_SH | LOCK_NB) != 0)
        return heldError(known ? heldWords(note) : kSomeoneWords);
    flock(hold.fd_, LOCK_UN);
    // The user's own left change is the user's recovery's to put right, or the guard's to refuse.
    if (known && note.uid != static_cast<std::int64_t>(getuid()) && stillChanged(note, clock))
        return heldError(leftWords(note));
    return AppError::none();
}
