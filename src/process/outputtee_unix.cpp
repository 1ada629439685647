#include "outputtee.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Enough for the last few lines of a message.
constexpr std::size_t kKeptErrors = 4096;

// Writes it all where the stream went before. A reader that has gone makes
// no SIGPIPE here: false, and the command meets the broken pipe itself.
bool writeAll(int fd, const char* data, std::size_t size)
{
    sigset_t pipe;
    sigset_t old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    bool written = true;
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done > 0) {
            data += done;
            size -= static_cast<std::size_t>(done);
        } else if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{fd, POLLOUT, 0};  // a descriptor shared in non-blocking mode
            ::poll(&wait, 1, -1);
        } else if (done < 0 && errno != EINTR) {
            written = false;
            break;
        }
    }
    if (!written && errno == EPIPE) {
        const timespec now{};
        sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return written;
}

void closeFd(int* fd)
{
    if (*fd >= 0)
        ::close(*fd);
    *fd = -1;
}

}  // namespace

OutputTee::OutputTee()
{
    ok_ = true;
    for (int i = 0; i < 2; ++i) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            ok_ = false;
            return;
        }
        // Read as it comes, never waiting on one stream while the other fills.
        ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
        streams_[i] = {ends[0], ends[1], i + 1};
    }
}

OutputTee::~OutputTee()
{
    for (Stream& stream : streams_) {
        closeFd(&stream.read);
        closeFd(&stream.write);
    }
}

std::vector<std::pair<int, int>> OutputTee::streams() const
{
    return {{streams_[0].to, streams_[0].write}, {streams_[1].to, streams_[1].write}};
}

std::vector<ChildWatch> OutputTee::watches()
{
    std::vector<ChildWatch> watches;
    for (Stream& stream : streams_)
        watches.push_back({stream.read, [this, &stream] { return passOn(stream) ? stream.read : -1; }});
    return watches;
}

void OutputTee::closeWritingEnds()
{
    for (Stream& stream : streams_)
        closeFd(&stream.write);
}

bool OutputTee::passOn(Stream& stream)
{
    char buffer[16384];
    while (stream.read >= 0) {
        const ssize_t got = ::read(stream.read, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (got <= 0 || !writeAll(stream.to, buffer, static_cast<std::size_t>(got))) {
            closeFd(&stream.read);
            break;
        }
        if (&stream == &streams_[0]) {
            wroteOutput_ = true;
        } else {
            errors_.append(buffer, static_cast<std::size_t>(got));
            if (errors_.size() > kKeptErrors)
                errors_.erase(0, errors_.size() - kKeptErrors);
        }
    }
    return false;
}

void OutputTee::passOnWhatCame()
{
    for (Stream& stream : streams_)
        passOn(stream);
}

void OutputTee::passOnToTheEnd()
{
    for (;;) {
        pollfd fds[2];
        nfds_t count = 0;
        for (const Stream& stream : streams_) {
            if (stream.read >= 0)
                fds[count++] = {stream.read, POLLIN, 0};
        }
        if (count == 0)
            return;
        if (::poll(fds, count, -1) < 0 && errno != EINTR)
            return;
        passOnWhatCame();
    }
}

std::string OutputTee::lastErrorLines(int lines) const
{
    std::string text = errors_;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::size_t from = text.size();
    for (int i = 0; i < lines; ++i) {
        from = from == 0 ? std::string::npos : text.rfind('\n', from - 1);
        if (from == std::string::npos)
            return text;
    }
    return text.substr(from + 1);
}

bool OutputTee::outputIsTerminal()
{
    return ::isatty(STDOUT_FILENO);
}

std::string OutputTee::outputPlace()
{
    char place[4096];
    const ssize_t length = ::readlink("/proc/self/fd/1", place, sizeof place - 1);
    return length > 0 ? std::string(place, static_cast<std::size_t>(length)) : std::string();
}
