#include "systemzone.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char kZoneFolder[] = "/usr/share/zoneinfo/";
// The longest name tzdata has is under 40 characters.
constexpr std::size_t kZoneNameMax = 64;
constexpr std::int64_t kDayNs = 86400 * kNsPerSecond;

// The zone of the system's folder that TZ names, in the forms the C library
// reads as that file: "Name", ":Name", a path into the folder. "" for
// anything else.
std::string systemZoneName(const char* tz)
{
    std::string zone = tz ? tz : "";
    if (!zone.empty() && zone[0] == ':')
        zone.erase(0, 1);
    if (zone.rfind(kZoneFolder, 0) == 0)
        zone.erase(0, sizeof kZoneFolder - 1);
    if (zone.empty() || zone.size() > kZoneNameMax || zone[0] == '/' || zone[0] == ':'
        || zone.find("..") != std::string::npos)
        return "";
    const int fd = ::open((kZoneFolder + zone).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return "";
    char magic[4] = {};
    const bool zoneFile = ::read(fd, magic, sizeof magic) == sizeof magic && std::memcmp(magic, "TZif", 4) == 0;
    ::close(fd);
    return zoneFile ? zone : "";
}

// The UTC offset the zone `tz` (a TZ value) gives at each instant, in seconds.
bool offsetsIn(const std::string& tz, const std::int64_t* seconds, long* offsets, int count)
{
    const char* before = std::getenv("TZ");
    const std::string kept = before ? before : "";
    ::setenv("TZ", tz.c_str(), 1);
    ::tzset();
    bool known = true;
    for (int i = 0; i < count; ++i) {
        const time_t t = static_cast<time_t>(seconds[i]);
        std::tm tm{};
        known = known && static_cast<std::int64_t>(t) == seconds[i] && localtime_r(&t, &tm) != nullptr;
        offsets[i] = tm.tm_gmtoff;
    }
    if (before)
        ::setenv("TZ", kept.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    return known;
}

std::int64_t floorMod(std::int64_t value, std::int64_t divisor)
{
    return ((value % divisor) + divisor) % divisor;
}

}  // namespace

void keepOnlySystemZone()
{
    const std::string zone = systemZoneName(std::getenv("TZ"));
    if (zone.empty())
        ::unsetenv("TZ");
    else
        ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
}

bool SystemZoneLimit::allows(std::int64_t fromNs, std::int64_t toNs) const
{
    const std::string zone = systemZoneName(std::getenv("TZ"));
    const std::string file = zone.empty() ? "/etc/localtime" : kZoneFolder + zone;
    // A time of day the target date skips moves on by the gap: the offset
    // of the day before then stands for the target's.
    const std::int64_t from = SystemClock::floorSeconds(fromNs), to = SystemClock::floorSeconds(toNs);
    const std::int64_t seconds[] = {from, to, to - 86400};
    long offsets[3] = {};
    if (!offsetsIn(":" + file, seconds, offsets, 3))
        return false;
    const std::int64_t moveNs = toNs - fromNs;
    for (int i = 1; i < 3; ++i) {
        if (floorMod(moveNs + (offsets[i] - offsets[0]) * kNsPerSecond, kDayNs) == 0)
            return true;
    }
    return false;
}
