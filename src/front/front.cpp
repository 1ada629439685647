// `ravodor`: a front with no Qt. It answers --version and runs the plain
// --at DATE --only itself, the forms a test rig repeats; everything else
// goes, untouched, to the part that holds it (parts.h), loaded only then.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "parts.h"
#include "quickonly.h"

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("Ravodor " RAVODOR_VERSION "\n", stdout);
        return 0;
    }
    if (const int status = quickOnly(argc, argv); status >= 0)
        return status;
    // The start from a menu: no option to read, a display to open the window on.
    const auto named = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (argc == 1 && (named("DISPLAY") || named("WAYLAND_DISPLAY") || named("QT_QPA_PLATFORM")))
        return runPart(Part::Window, argc, argv);
    return runPart(Part::CommandLine, argc, argv);
}
