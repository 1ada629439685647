#include "parts.h"

// Windows has one executable: every part is linked in.
int runPart(Part part, int argc, char** argv)
{
    switch (part) {
    case Part::CommandLine:
        return ravodor_commandline_main(argc, argv);
    case Part::At:
        return ravodor_at_main(argc, argv);
    case Part::Window:
        break;
    }
    return ravodor_window_main(argc, argv);
}
