#include "privileged.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include <sys/auxv.h>
#include <unistd.h>

extern char** environ;

bool startedWithRaisedRights()
{
    // The kernel sets AT_SECURE for setuid, setgid and file-capability starts.
    return getauxval(AT_SECURE) != 0;
}

bool keptWithRaisedRights(const char* name)
{
    // What a desktop program needs and what loads no code: the addresses of
    // the display and of the session (its bus, its session manager, so a
    // logout still closes the window properly), the user's home and folders
    // (settings and presets are data), language and time zone (the real date
    // is a local date; glibc refuses TZ and locale paths outside the system's
    // own in this mode). Left out on purpose: XDG_CURRENT_DESKTOP and the
    // other desktop hints, which make Qt load a desktop theme that starts
    // GTK, and GTK reads module lists from its settings; every plugin, module
    // and library path (QT_*, GTK_*, GIO_*, GDK_*, ...); and
    // DBUS_SYSTEM_BUS_ADDRESS, as a program that may set the clock must only
    // ever talk to the real system bus. The price is Qt's own plain look.
    static const char* const kKept[] = {
        "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_SESSION_TYPE", "DBUS_SESSION_BUS_ADDRESS",
        "SESSION_MANAGER", "HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
        "LANG", "LANGUAGE", "TZ",
    };
    for (const char* kept : kKept) {
        if (std::strcmp(name, kept) == 0)
            return true;
    }
    return std::strncmp(name, "LC_", 3) == 0 && name[3] != '\0';
}

void dropUntrustedEnvironment()
{
    // Rebuilt from scratch, so that odd entries (no '=', a name twice) go too;
    // of a name given twice the first stays, as getenv() reads it.
    std::vector<std::pair<std::string, std::string>> kept;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (!equals)
            continue;
        std::string name(*entry, static_cast<size_t>(equals - *entry));
        if (keptWithRaisedRights(name.c_str()))
            kept.emplace_back(std::move(name), equals + 1);
    }
    ::clearenv();
    for (const auto& [name, value] : kept)
        ::setenv(name.c_str(), value.c_str(), 0);
}

char** argumentsForToolkit(int* argc, char** argv)
{
    if (!startedWithRaisedRights() || *argc < 1)
        return argv;
    static char* nameOnly[2] = {nullptr, nullptr};
    nameOnly[0] = argv[0];
    *argc = 1;
    return nameOnly;
}
