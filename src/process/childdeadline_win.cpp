#include "childdeadline.h"

// Commands are not run at a date on Windows yet (childcommand_win.cpp).

ChildDeadline::ChildDeadline(const ChildCommand& child, double) : child_(child) {}

ChildDeadline::~ChildDeadline() = default;

ChildWatch ChildDeadline::watch()
{
    return {};
}
