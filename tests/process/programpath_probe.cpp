// Says it has started, then prints the running program's path once the file
// it is given exists, so a test can replace the program's own file in
// between, as an upgrade does.
//   programpath_probe GO_FILE

#include <cstdio>

#include <unistd.h>

#include "processinfo.h"

int main(int argc, char** argv)
{
    std::printf("started\n");
    std::fflush(stdout);
    for (int waited = 0; argc == 2 && ::access(argv[1], F_OK) != 0; ++waited) {
        if (waited > 1000)
            return 1;
        ::usleep(10000);
    }
    std::printf("%s\n", currentProgramPath().c_str());
    return 0;
}
