#include "parts.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "exitcodes.h"
#include "processinfo.h"

namespace {

struct PartFile {
    const char* file;
    const char* entry;
};

const PartFile kParts[] = {
    {"libravodor-commandline.so", "ravodor_commandline_main"},
    {"libravodor-at.so", "ravodor_at_main"},
    {"libravodor-window.so", "ravodor_window_main"},
};

// Beside the program as installed (RAVODOR_PARTS_FROM_PROGRAM, relative to
// its folder), so that a build runs its own parts.
std::string partPath(const PartFile& part)
{
    const std::string program = currentProgramPath();
    const std::string folder = program.substr(0, program.find_last_of('/') + 1);
    return folder + RAVODOR_PARTS_FROM_PROGRAM "/" + part.file;
}

}  // namespace

int runPart(Part part, int argc, char** argv)
{
    const PartFile& file = kParts[static_cast<int>(part)];
    const std::string path = partPath(file);
    if (::access(path.c_str(), F_OK) != 0) {
        if (part == Part::Window)
            std::fputs("ravodor: the window is not installed: install the package ravodor for it, "
                       "or see ravodor --help for the command line.\n",
                       stderr);
        else
            std::fprintf(stderr, "ravodor: %s is missing: install the package ravodor-cli again.\n", path.c_str());
        return kExitUnavailable;
    }
    // Lazy, as the loader binds an executable's own libraries.
    void* library = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    const auto entry =
        library ? reinterpret_cast<int (*)(int, char**)>(::dlsym(library, file.entry)) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "ravodor: %s\n", ::dlerror());
        return kExitOsError;
    }
    return entry(argc, argv);
}
