#pragma once
// How a command-line prototype opens the window: by starting the window's
// own executable in its place (RAVODOR_SHAPE_WINDOW_PROGRAM), or by loading
// the window as a library (RAVODOR_SHAPE_WINDOW_LIBRARY).

#include <cstdio>

#ifdef RAVODOR_SHAPE_WINDOW_PROGRAM
#include <unistd.h>
#else
#include <dlfcn.h>
#endif

inline int openWindow(int, char** argv)
{
#ifdef RAVODOR_SHAPE_WINDOW_PROGRAM
    char program[] = RAVODOR_SHAPE_WINDOW_PROGRAM;
    argv[0] = program;
    ::execv(program, argv);
    std::perror(program);
    return 71;
#else
    // Lazy, as the loader binds an executable's own libraries.
    void* window = ::dlopen(RAVODOR_SHAPE_WINDOW_LIBRARY, RTLD_LAZY | RTLD_LOCAL);
    const auto windowMain = window ? reinterpret_cast<int (*)(int, char**)>(::dlsym(window, "ravodor_window_main"))
                                   : nullptr;
    if (!windowMain) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 71;
    }
    int argc = 0;
    while (argv[argc])
        ++argc;
    return windowMain(argc, argv);
#endif
}
