#include "quickonly.h"

// --only preloads libfaketime, which Windows lacks: the part says so.
int quickOnly(int, char**)
{
    return -1;
}
