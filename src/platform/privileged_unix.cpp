#include "privileged.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <sys/auxv.h>
#include <unistd.h>

extern char** environ;

bool startedWithRaisedRights()
{
    // The kernel sets AT_SECURE for setuid, setgid and file-capability starts.
    return getauxval(AT_SECURE) != 0;
}

void dropUntrustedEnvironment()
{
    std::vector<std::string> names;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* text = *entry;
        if (std::strncmp(text, "QT_", 3) == 0 || std::strncmp(text, "QML", 3) == 0) {
            const char* equals = std::strchr(text, '=');
            names.emplace_back(text, equals ? static_cast<size_t>(equals - text) : std::strlen(text));
        }
    }
    for (const std::string& name : names)
        ::unsetenv(name.c_str());
}
