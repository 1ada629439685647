#pragma once
// A failed call to the time service, said the way its user would say it:
// never a D-Bus error name, which means nothing to most people.

#include <string>

// `name` and `message` of an sd_bus_error; either may be null.
std::string busErrorInWords(const char* name, const char* message);
