// Reading any text as a restore record: the user controls the file. Never a
// crash or an overflow, whatever parses is in range, and its formatted text
// parses back to the same record.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "restorerecord.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& text)
{
    std::fprintf(stderr, "%s\n--- text\n%s\n---\n", what, text.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    RestoreRecord record;
    if (!parseRecord(text, &record))
        return 0;
    if (record.anchorWallNs < 0 || record.anchorWallNs > kRecordNsMax || record.anchorBootNs < 0
        || record.anchorBootNs > kRecordNsMax || record.pid < 1)
        fail("a record out of range was accepted", text);
    // The sums the keeper makes with the anchor stay defined (UBSan watches).
    record.realInstantAt(kRecordNsMax);
    record.realInstantAt(0);
    const std::string formatted = formatRecord(record);
    RestoreRecord back;
    if (!parseRecord(formatted, &back))
        fail("the formatted record does not parse", formatted);
    if (formatRecord(back) != formatted)
        fail("the formatted record does not read back as itself", formatted);
    return 0;
}
