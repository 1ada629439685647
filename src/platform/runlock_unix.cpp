#include "runlock.h"

#include <cstdint>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

RunLock::RunLock(const std::string& path)
{
    // Not inherited by the commands the program starts: the lock ends with it.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    held_ = true;
    handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd));
}

RunLock::~RunLock()
{
    if (held_)
        ::close(static_cast<int>(reinterpret_cast<std::intptr_t>(handle_)));
}
