/* A fake wall clock for the processes it is preloaded into (LD_PRELOAD), for
 * the calls the program, Qt and the C++ library make. A set never reaches the
 * kernel: it is kept as an offset from the real time in the state file
 * FAKECLOCK_STATE, read at every wall-clock read, so the processes sharing
 * the file share one clock (the program sets it, its guard puts it back).
 * Its lines: offset_ns= (fake minus real), set_count= (sets that succeeded),
 * last_set_ns= (the time last set), last_set_real_ns= (the real time then),
 * foreign_sets= (sets by a process not named ravodor-guard, the only one
 * meant to set the clock), set_by= (the name of the last setter).
 * FAKECLOCK_NOFILE=N lowers RLIMIT_NOFILE to N once the libraries are loaded,
 * before main: a process with no descriptor left for what it opens first.
 * FAKECLOCK_DENY=1 fails every set with EPERM, as without the right; a set the
 * kernel would refuse fails with EINVAL, one whose state cannot be written
 * (FAKECLOCK_STATE unset, say) with that error. */

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#define NS_PER_SECOND 1000000000LL
/* What the kernel can still count up to after thirty years of uptime. */
#define KERNEL_LAST_SECOND (9223372036LL - 946080000LL)

struct state {
    int64_t offset_ns, set_count, last_set_ns, last_set_real_ns, foreign_sets;
};

__attribute__((constructor)) static void limit_files(void)
{
    const char* most = getenv("FAKECLOCK_NOFILE");
    if (most) {
        struct rlimit limit = {(rlim_t)atoi(most), (rlim_t)atoi(most)};
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

static int real_clock_gettime(clockid_t id, struct timespec* ts)
{
    return (int)syscall(SYS_clock_gettime, id, ts);
}

static int64_t real_now_ns(void)
{
    struct timespec ts;
    real_clock_gettime(CLOCK_REALTIME, &ts);
    return (int64_t)ts.tv_sec * NS_PER_SECOND + ts.tv_nsec;
}

static const char* state_path(void)
{
    const char* path = getenv("FAKECLOCK_STATE");
    return path ? path : "";
}

static int64_t field(const char* text, const char* name)
{
    const char* at = strstr(text, name);
    return at ? strtoll(at + strlen(name), NULL, 10) : 0;
}

/* A missing or unreadable file is a clock never set. */
static struct state read_state(void)
{
    struct state state = {0, 0, 0, 0, 0};
    char text[512] = "\n";  /* so that every name is found at a line's start */
    int fd = open(state_path(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return state;
    ssize_t got = read(fd, text + 1, sizeof text - 2);
    close(fd);
    if (got <= 0)
        return state;
    text[got + 1] = '\0';
    state.offset_ns = field(text, "\noffset_ns=");
    state.set_count = field(text, "\nset_count=");
    state.last_set_ns = field(text, "\nlast_set_ns=");
    state.last_set_real_ns = field(text, "\nlast_set_real_ns=");
    state.foreign_sets = field(text, "\nforeign_sets=");
    return state;
}

/* Written beside the file and renamed over it: a reader sees all or nothing. */
static int write_state(const struct state* state, const char* setter)
{
    const char* path = state_path();
    char temp[4096], text[512];
    if (!*path)
        return ENOENT;
    snprintf(temp, sizeof temp, "%s.%ld.tmp", path, (long)getpid());
    int length = snprintf(text, sizeof text,
                          "offset_ns=%lld\nset_count=%lld\nlast_set_ns=%lld\nlast_set_real_ns=%lld\nforeign_sets=%lld\nset_by=%s\n",
                          (long long)state->offset_ns, (long long)state->set_count, (long long)state->last_set_ns,
                          (long long)state->last_set_real_ns, (long long)state->foreign_sets, setter);
    int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    int error = write(fd, text, (size_t)length) == length ? 0 : (errno ? errno : EIO);
    if (close(fd) != 0 && !error)
        error = errno;
    if (!error && rename(temp, path) != 0)
        error = errno;
    if (error)
        unlink(temp);
    return error;
}

static int64_t fake_now_ns(void)
{
    return real_now_ns() + read_state().offset_ns;
}

int clock_gettime(clockid_t id, struct timespec* ts)
{
    if (id != CLOCK_REALTIME && id != CLOCK_REALTIME_COARSE)
        return real_clock_gettime(id, ts);
    int64_t now = fake_now_ns();
    int64_t rest = (now % NS_PER_SECOND + NS_PER_SECOND) % NS_PER_SECOND;
    ts->tv_sec = (time_t)((now - rest) / NS_PER_SECOND);
    ts->tv_nsec = (long)rest;
    return 0;
}

int gettimeofday(struct timeval* restrict tv, void* restrict tz)
{
    struct timespec ts;
    if (tz)
        memset(tz, 0, sizeof(struct timezone));
    clock_gettime(CLOCK_REALTIME, &ts);
    tv->tv_sec = ts.tv_sec;
    tv->tv_usec = (suseconds_t)(ts.tv_nsec / 1000);
    return 0;
}

time_t time(time_t* out)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    if (out)
        *out = ts.tv_sec;
    return ts.tv_sec;
}

int clock_settime(clockid_t id, const struct timespec* ts)
{
    const char* deny = getenv("FAKECLOCK_DENY");
    if (id != CLOCK_REALTIME || ts->tv_nsec < 0 || ts->tv_nsec >= NS_PER_SECOND || ts->tv_sec < 0
        || ts->tv_sec >= KERNEL_LAST_SECOND) {
        errno = EINVAL;  /* as the kernel: also for the clocks nobody sets */
        return -1;
    }
    if (deny && strcmp(deny, "1") == 0) {
        errno = EPERM;
        return -1;
    }
    struct state state = read_state();
    state.last_set_real_ns = real_now_ns();
    state.last_set_ns = (int64_t)ts->tv_sec * NS_PER_SECOND + ts->tv_nsec;
    state.offset_ns = state.last_set_ns - state.last_set_real_ns;
    state.set_count += 1;
    char setter[32] = "";
    int comm = open("/proc/self/comm", O_RDONLY | O_CLOEXEC);
    if (comm >= 0) {
        ssize_t got = read(comm, setter, sizeof setter - 1);
        close(comm);
        setter[got > 0 ? got : 0] = '\0';
        setter[strcspn(setter, "\n")] = '\0';
    }
    if (strcmp(setter, "ravodor-guard") != 0)
        state.foreign_sets += 1;
    int error = write_state(&state, setter);
    if (error) {
        errno = error;
        return -1;
    }
    return 0;
}
