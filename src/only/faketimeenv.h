#pragma once
// What --only hands a command besides its date: libfaketime preloaded, and
// one offset from the real clock for every process it starts. Qt-free, so
// that the front and the QtCore part prepare a command the same way.

#include <cstdint>
#include <string>

// The libfaketime that --only preloads, where its Debian package puts it.
const char* faketimeLibrary();
// FAKETIME for `seconds` from the real clock: "+N" or "-N".
std::string faketimeOffset(std::int64_t seconds);
// LD_PRELOAD: `library` first, then what `inherited` preloads already,
// split as the loader splits it (at blanks and colons), without a second
// `library` (an outer --only's).
std::string faketimePreload(const std::string& library, const char* inherited);
// libfaketime (0.9.10) makes shared memory named after the command's
// process, for the programs it starts to share, and removes it only at a
// normal exit: a command that ends by exec or by a signal leaves it.
void removeFaketimeLeftovers(long pid);
