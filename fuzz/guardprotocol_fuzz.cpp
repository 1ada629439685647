// Any bytes as a line to the guard, which holds the right to set the clock,
// and as an answer from it. A request is either refused, leaving what it was
// given alone, or one of the verbs with its fields in range that formats back
// to the very line; the same holds for an answer. Any answer the guard
// formats, whatever its text, is read back as itself.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "guardprotocol.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& line)
{
    std::fprintf(stderr, "%s\n--- line (%zu bytes)\n%s\n---\n", what, line.size(), line.c_str());
    std::abort();
}

bool settable(const CivilDate& date)
{
    return date.year >= 100 && date.year <= 9999 && date.isCalendarDay();
}

void checkRequest(const std::string& line)
{
    GuardRequest request;
    request.date = {1, 2, 3};  // a mark no parsed request carries
    if (!parseRequest(line, &request)) {
        if (request.date != CivilDate{1, 2, 3})
            fail("a refused line changed the request", line);
        return;
    }
    bool inRange = false;
    switch (request.kind) {
    case GuardRequest::SyncState: inRange = request.date.isNull() && !request.interactive && !request.syncPaused; break;
    case GuardRequest::SyncOff:
    case GuardRequest::SyncOn:
    case GuardRequest::Undo: inRange = request.date.isNull() && !request.syncPaused; break;
    case GuardRequest::Date: inRange = settable(request.date) && !request.syncPaused; break;
    case GuardRequest::Adopt: inRange = (request.date.isNull() || settable(request.date)) && !request.interactive; break;
    }
    if (!inRange)
        fail("a request out of range was accepted", line);
    if (formatRequest(request) != line)
        fail("an accepted request does not format back to its line", line);
}

void checkAnswer(const std::string& line)
{
    AppError answer;
    if (parseAnswer(line, &answer) && formatAnswer(answer) != line)
        fail("an accepted answer does not format back to its line", line);

    // The same bytes as an answer the guard sends: two numbers, then its text.
    AppError sent;
    if (line.size() >= 8) {
        std::memcpy(&sent.number, line.data(), 4);
        std::memcpy(&sent.cause, line.data() + 4, 4);
        sent.description = line.substr(8);
    }
    const std::string formatted = formatAnswer(sent);
    if (formatted.size() > kGuardLineMax || formatted.find('\n') != std::string::npos)
        fail("the guard formats a line the program cannot read", formatted);
    // Its text with line breaks as blanks, cut only where the line is full.
    std::string flat = sent.description;
    for (char& c : flat)
        c = c == '\r' || c == '\n' ? ' ' : c;
    AppError read;
    if (!parseAnswer(formatted, &read) || read.number != sent.number || read.cause != sent.cause
        || flat.compare(0, read.description.size(), read.description) != 0
        || (formatted.size() < kGuardLineMax && read.description != flat))
        fail("a formatted answer does not read back", formatted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    checkRequest(line);
    checkAnswer(line);
    return 0;
}
