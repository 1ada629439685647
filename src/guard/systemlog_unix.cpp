#include "systemlog.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

#include <pwd.h>
#include <sys/auxv.h>
#include <syslog.h>
#include <unistd.h>

namespace {

// A line the administrator can read: bytes outside printable ASCII as \xHH.
std::string printable(const std::string& text, std::size_t most)
{
    std::string shown;
    for (const char c : text.substr(0, most)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        shown += c >= ' ' && c <= '~' && c != '\\' ? std::string(1, c) : escaped;
    }
    return text.size() > most ? shown + "..." : shown;
}

// The user and the program that asked, read once at the start: a program
// that has ended by the time of the way back has no /proc entry left.
std::string whoAsked()
{
    const uid_t uid = getuid();
    passwd entry{}, *found = nullptr;
    char names[4096];
    const bool named = getpwuid_r(uid, &entry, names, sizeof names, &found) == 0 && found;
    const pid_t parent = getppid();
    const std::string proc = "/proc/" + std::to_string(parent);
    char exe[4096];
    const ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof exe - 1);
    // The file is the kernel's word; the arguments (window or --at) are the program's.
    std::ifstream in(proc + "/cmdline");
    std::string words((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!words.empty() && words.back() == '\0')
        words.pop_back();
    for (char& c : words)
        c = c == '\0' ? ' ' : c;
    return printable(named ? found->pw_name : "?", 64) + " (uid " + std::to_string(uid) + ") through "
           + (length > 0 ? printable(std::string(exe, static_cast<size_t>(length)), 256) : "?") + " (pid "
           + std::to_string(parent) + ": " + printable(words, 200) + ")";
}

// Whether a set of the wall clock could reach the system's clock: without
// the right, only a stand-in clock (a test's) takes it.
bool holdsClockRight()
{
    constexpr int kCapSysTime = 25;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> kCapSysTime) & 1U;
    }
    return false;
}

}  // namespace

SystemLog::SystemLog()
{
    const char* file = getauxval(AT_SECURE) == 0 ? std::getenv("RAVODOR_GUARD_LOG") : nullptr;
    if (file)
        file_ = std::fopen(file, "ae");
    else if (holdsClockRight())
        ::openlog("ravodor-guard", LOG_PID, LOG_AUTHPRIV);
    else
        return;
    who_ = whoAsked();
    on_ = true;
}

SystemLog::~SystemLog()
{
    if (file_)
        std::fclose(file_);
}

void SystemLog::clockSet(const CivilDate& date, std::int64_t instantNs)
{
    if (!on_)
        return;
    const time_t t = static_cast<time_t>(SystemClock::floorSeconds(instantNs));
    std::tm utc{};
    char instant[64] = "?";
    if (gmtime_r(&t, &utc))
        std::strftime(instant, sizeof instant, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string what = date.isNull() ? "the way back" : "date " + isoDate(date);
    const std::string line = who_ + ": " + what + ", clock set to " + instant;
    if (file_) {
        std::fprintf(file_, "%s\n", line.c_str());
        std::fflush(file_);
    } else {
        ::syslog(LOG_NOTICE, "%s", line.c_str());
    }
}
