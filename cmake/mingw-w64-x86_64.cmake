# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
# The tests run under Wine: set WINEPREFIX for ctest (scripts/test-windows.sh does).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
# The -posix compilers: the -win32 ones lack std::thread and std::mutex.
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs to find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian keeps wine64 out of PATH; the `wine` wrapper in PATH also works.
find_program(RAVODOR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin
             DOC "Wine, which runs the test programs")
if(RAVODOR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${RAVODOR_WINE})
endif()
