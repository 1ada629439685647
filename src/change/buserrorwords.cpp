#include "buserrorwords.h"

#include <cstring>

namespace {

struct Words {
    const char* names[5];
    const char* words;
};

const Words kWords[] = {
    {{"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
      "org.freedesktop.systemd1.NoSuchUnit"},
     "the time service is not running"},
    // sd-bus names a failed connect after its errno.
    {{"org.freedesktop.DBus.Error.FileNotFound", "org.freedesktop.DBus.Error.NoServer",
      "org.freedesktop.DBus.Error.Disconnected", "System.Error.ECONNREFUSED", "System.Error.ENOTCONN"},
     "the system bus is not running"},
    {{"org.freedesktop.DBus.Error.AccessDenied", "org.freedesktop.DBus.Error.AuthFailed",
      "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
      "org.freedesktop.PolicyKit1.Error.NotAuthorized"},
     "not authorised"},
    {{"org.freedesktop.PolicyKit1.Error.Cancelled"}, "the password prompt was cancelled"},
    {{"org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout",
      "org.freedesktop.DBus.Error.TimedOut"},
     "the time service did not answer in time"},
    {{"org.freedesktop.timedate1.AutomaticTimeSyncEnabled"}, "automatic time sync is still on"},
    {{"org.freedesktop.timedate1.NoNTPSupport"}, "the time service cannot switch automatic time sync"},
    {{"org.freedesktop.DBus.Error.InvalidArgs"}, "the time service refused the value"},
};

}  // namespace

std::string busErrorInWords(const char* name, const char* message)
{
    for (const Words& w : kWords)
        for (const char* known : w.names)
            if (known && name && std::strcmp(known, name) == 0)
                return w.words;
    // Any other failure: the service's own sentence is words already.
    return message && *message ? message : "the time service failed";
}
