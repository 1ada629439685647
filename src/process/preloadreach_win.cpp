#include "preloadreach.h"

// Windows has no preloading through the environment: nothing to refuse.

PreloadReach preloadReach(const std::string&)
{
    return {};
}

std::string scriptInterpreter(const std::string&)
{
    return {};
}
