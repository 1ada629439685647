#include "quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may only do async-signal-safe work: it writes one byte
// into a socket that the event loop watches.
int g_pipe[2] = {-1, -1};

// Ctrl-\ (SIGQUIT): it closes like the others instead of dumping core.
constexpr int kQuitSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};

// Said at start, so nobody relies on a signal putting the date back.
void reportSetUpFailure(const char* what)
{
    std::fprintf(stderr, "ravodor: %s failed (%s); a signal will end the program without putting the real date back\n",
                 what, std::strerror(errno));
}

extern "C" void onQuitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        reportSetUpFailure("socketpair");
        return;
    }

    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[64];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        emit quitRequested();
    });

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kQuitSignals) {
        if (::sigaction(sig, &action, nullptr) != 0)
            reportSetUpFailure("sigaction");
    }
}

QuitSignals::~QuitSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (int sig : kQuitSignals)
        ::sigaction(sig, &action, nullptr);
    delete notifier_;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
