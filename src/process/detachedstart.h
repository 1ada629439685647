#pragma once
// Starts a program apart from this one: in a session of its own and no child
// of this process, so it outlives the window that started it and leaves
// nothing to reap.

#include <string>
#include <vector>

// With `reportFd`, the program gets a socket as its descriptor 3, whose
// other end comes back there. 0 once the program runs, else the errno of
// its start, the exec's own failure too.
int startDetached(const std::string& path, const std::vector<std::string>& argv, int* reportFd = nullptr);

// In the program so started: `fd` when it is an open descriptor above the
// standard three, kept from what the program starts in turn; else -1.
int takeHandedFd(int fd);
// Sends all of `bytes` on the socket handed over and closes it. A reader that
// has gone is no error and raises no signal.
void sendAndClose(int fd, const std::string& bytes);
void closeHanded(int fd);
// On our end: adds what has come to `bytes`, without waiting; false once
// the other end has closed, and ours with it.
bool receiveSome(int fd, std::string* bytes);
