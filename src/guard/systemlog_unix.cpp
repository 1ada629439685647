#include "systemlog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include "processinfo.h"

namespace {

constexpr char kLogSocket[] = "/dev/log";
// A log daemon that takes no line for this long counts as unreachable.
constexpr int kSendLimitSeconds = 5;

// A quoted part the administrator can read and no caller can end early:
// bytes outside printable ASCII, the quote and the backslash as \xHH.
std::string printable(const std::string& text, std::size_t most)
{
    std::string shown;
    for (const char c : text.substr(0, most)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        shown += c >= ' ' && c <= '~' && c != '\\' && c != '"' ? std::string(1, c) : escaped;
    }
    return text.size() > most ? shown + "..." : shown;
}

// The user, by the kernel's word: who started the guard.
std::string whoAsks()
{
    const uid_t uid = getuid();
    passwd entry{}, *found = nullptr;
    char names[4096];
    const bool named = getpwuid_r(uid, &entry, names, sizeof names, &found) == 0 && found;
    return "user " + printable(named ? found->pw_name : "?", 64) + " (uid " + std::to_string(uid) + ")";
}

// The program that started the guard and its arguments, read once at the
// start (a program gone by the way back has no /proc entry left). Both are
// the caller's to choose, so they come last and quoted.
std::string callerSays()
{
    const pid_t parent = getppid();
    const std::string proc = "/proc/" + std::to_string(parent);
    char exe[4096];
    const ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof exe - 1);
    std::ifstream in(proc + "/cmdline");
    std::string words((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!words.empty() && words.back() == '\0')
        words.pop_back();
    for (char& c : words)
        c = c == '\0' ? ' ' : c;
    const std::string program = length > 0 ? std::string(exe, static_cast<size_t>(length)) : "?";
    return "the caller's word: program \"" + printable(program, 256) + "\", pid " + std::to_string(parent)
           + ", arguments \"" + printable(words, 200) + "\"";
}

std::string utcText(std::int64_t instantNs)
{
    const time_t t = static_cast<time_t>(SystemClock::floorSeconds(instantNs));
    std::tm utc{};
    char text[64] = "?";
    if (gmtime_r(&t, &utc))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

SystemLog::SystemLog()
{
    const bool right = mayUseClockRight();
    const char* file = right ? nullptr : std::getenv("RAVODOR_GUARD_LOG");
    if (!right && !file)
        return;
    needed_ = true;
    user_ = whoAsks();
    caller_ = callerSays();
    if (file) {
        file_ = true;
        fd_ = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    } else if (!connect()) {
        std::fprintf(stderr, "ravodor-guard: the system log cannot be reached (%s: %s); the date is changed "
                             "through the time service instead.\n", kLogSocket, std::strerror(errno));
    }
}

SystemLog::~SystemLog()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// glibc's openlog() connects lazily and its syslog() tells no failure: a
// line the guard must know arrived needs a socket of its own.
bool SystemLog::connect()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, kLogSocket, sizeof address.sun_path - 1);
    for (const int type : {SOCK_DGRAM, SOCK_STREAM}) {
        const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const timeval limit{kSendLimitSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            fd_ = fd;
            type_ = type;
            return true;
        }
        const int error = errno;
        ::close(fd);
        errno = error;
        if (error != EPROTOTYPE)
            return false;
    }
    return false;
}

bool SystemLog::send(const std::string& line)
{
    char stamp[32] = "";
    const time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local))
        std::strftime(stamp, sizeof stamp, "%b %e %T", &local);
    // As glibc's syslog() writes it; a stream takes the terminating NUL as the end of the line.
    const std::string message = "<" + std::to_string(LOG_AUTHPRIV | LOG_NOTICE) + ">" + stamp + " ravodor-guard["
                                + std::to_string(getpid()) + "]: " + line;
    const std::size_t size = message.size() + (type_ == SOCK_STREAM);
    ssize_t sent;
    while ((sent = ::send(fd_, message.c_str(), size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return sent == static_cast<ssize_t>(size);
}

bool SystemLog::write(const std::string& line)
{
    if (!needed_)
        return true;
    if (fd_ < 0)
        return false;  // not reached at the start: said then
    if (file_) {
        const std::string text = line + '\n';
        return ::write(fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // A log daemon that restarted is connected to again, once.
    if (send(line) || (connect() && send(line)))
        return true;
    std::fprintf(stderr, "ravodor-guard: the system log took no line (%s); the date is changed through the "
                         "time service instead.\n", std::strerror(errno));
    return false;
}

bool SystemLog::aboutToSet(const std::string& what, std::int64_t instantNs)
{
    return write(user_ + ", request \"" + request_ + "\": " + what + ", clock to be set to " + utcText(instantNs)
                 + "; " + caller_);
}

void SystemLog::notSet(const AppError& error)
{
    write(user_ + ", request \"" + request_ + "\": the clock was not set (" + printable(error.description, 200)
          + "); " + caller_);
}
