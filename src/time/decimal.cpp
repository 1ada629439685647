#include "decimal.h"

#include <cerrno>
#include <cstdlib>

// strtoll alone takes blanks, a '+' and an empty text.
bool parseDecimal(const std::string& text, std::int64_t* value)
{
    if (text.empty() || (text[0] != '-' && (text[0] < '0' || text[0] > '9')))
        return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    *value = parsed;
    return true;
}

// strtoull also takes a '-', and wraps it around.
bool parseDecimal(const std::string& text, std::uint64_t* value)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    *value = parsed;
    return true;
}
