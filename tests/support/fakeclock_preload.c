/* A fake system clock for the processes it is preloaded into (LD_PRELOAD).
 *
 * Setting the wall clock (clock_settime on CLOCK_REALTIME, settimeofday)
 * never reaches the kernel: the wanted time is kept as an offset from the
 * real one in a state file, FAKECLOCK_STATE (default
 * /tmp/fakeclock-<uid>.state), and every wall-clock read (clock_gettime on
 * CLOCK_REALTIME and its coarse twin, gettimeofday, time, timespec_get)
 * returns the real time plus that offset. The file is read at every read,
 * so all processes sharing it share one fake clock: the program sets it,
 * its guard puts it back. Other clocks (monotonic, boot) are the kernel's.
 *
 * The state file's lines:
 *   offset_ns=          the fake clock minus the real one
 *   set_count=          sets that succeeded
 *   last_set_ns=        the time last set
 *   last_set_real_ns=   the real time when it was set (for timing a set)
 *
 * FAKECLOCK_DENY=1 makes every set fail with EPERM, as without the right.
 * A set the kernel would refuse (before 1970, beyond what it can hold, bad
 * nanoseconds) fails with EINVAL; a state file that cannot be written fails
 * the set with that error. Sets from several processes at the same moment
 * are not serialised: the tests set from one process at a time. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#define NS_PER_SECOND 1000000000LL
/* What the kernel can still count up to after thirty years of uptime. */
#define KERNEL_LAST_SECOND (9223372036LL - 946080000LL)

struct state {
    int64_t offset_ns;
    int64_t set_count;
    int64_t last_set_ns;
    int64_t last_set_real_ns;
};

typedef int (*clock_gettime_fn)(clockid_t, struct timespec*);

static int real_clock_gettime(clockid_t id, struct timespec* ts)
{
    static clock_gettime_fn next;
    if (!next)
        next = (clock_gettime_fn)dlsym(RTLD_NEXT, "clock_gettime");
    if (next)
        return next(id, ts);
    return (int)syscall(SYS_clock_gettime, id, ts);
}

static int64_t real_now_ns(void)
{
    struct timespec ts;
    real_clock_gettime(CLOCK_REALTIME, &ts);
    return (int64_t)ts.tv_sec * NS_PER_SECOND + ts.tv_nsec;
}

static const char* state_path(char* buffer, size_t size)
{
    const char* path = getenv("FAKECLOCK_STATE");
    if (path && *path)
        return path;
    snprintf(buffer, size, "/tmp/fakeclock-%u.state", (unsigned)getuid());
    return buffer;
}

static int64_t field(const char* text, const char* name)
{
    size_t length = strlen(name);
    const char* line = text;
    while (line && *line) {
        if (strncmp(line, name, length) == 0 && line[length] == '=')
            return strtoll(line + length + 1, NULL, 10);
        line = strchr(line, '\n');
        if (line)
            ++line;
    }
    return 0;
}

/* A missing or unreadable file is a clock never set. */
static struct state read_state(void)
{
    struct state state = {0, 0, 0, 0};
    char path_buffer[64];
    int fd = open(state_path(path_buffer, sizeof path_buffer), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return state;
    char text[512];
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return state;
    text[got] = '\0';
    state.offset_ns = field(text, "offset_ns");
    state.set_count = field(text, "set_count");
    state.last_set_ns = field(text, "last_set_ns");
    state.last_set_real_ns = field(text, "last_set_real_ns");
    return state;
}

/* Written beside the file and renamed over it: a reader sees all or nothing. */
static int write_state(const struct state* state)
{
    char path_buffer[64];
    const char* path = state_path(path_buffer, sizeof path_buffer);
    char temp[4096];
    if ((size_t)snprintf(temp, sizeof temp, "%s.%ld.tmp", path, (long)getpid()) >= sizeof temp)
        return ENAMETOOLONG;
    int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    char text[256];
    int length = snprintf(text, sizeof text, "offset_ns=%lld\nset_count=%lld\nlast_set_ns=%lld\nlast_set_real_ns=%lld\n",
                          (long long)state->offset_ns, (long long)state->set_count,
                          (long long)state->last_set_ns, (long long)state->last_set_real_ns);
    int error = write(fd, text, (size_t)length) == length ? 0 : (errno ? errno : EIO);
    if (close(fd) != 0 && !error)
        error = errno;
    if (!error && rename(temp, path) != 0)
        error = errno;
    if (error)
        unlink(temp);
    return error;
}

static int fake_set(int64_t seconds, int64_t nanoseconds)
{
    if (nanoseconds < 0 || nanoseconds >= NS_PER_SECOND || seconds < 0 || seconds >= KERNEL_LAST_SECOND) {
        errno = EINVAL;
        return -1;
    }
    const char* deny = getenv("FAKECLOCK_DENY");
    if (deny && strcmp(deny, "1") == 0) {
        errno = EPERM;
        return -1;
    }
    struct state state = read_state();
    int64_t wanted = seconds * NS_PER_SECOND + nanoseconds;
    state.last_set_real_ns = real_now_ns();
    state.offset_ns = wanted - state.last_set_real_ns;
    state.last_set_ns = wanted;
    state.set_count += 1;
    int error = write_state(&state);
    if (error) {
        errno = error;
        return -1;
    }
    return 0;
}

static int64_t fake_now_ns(void)
{
    return real_now_ns() + read_state().offset_ns;
}

static void split(int64_t ns, int64_t* seconds, int64_t* rest)
{
    *seconds = ns / NS_PER_SECOND;
    *rest = ns % NS_PER_SECOND;
    if (*rest < 0) {
        *rest += NS_PER_SECOND;
        *seconds -= 1;
    }
}

int clock_gettime(clockid_t id, struct timespec* ts)
{
    if (id != CLOCK_REALTIME && id != CLOCK_REALTIME_COARSE)
        return real_clock_gettime(id, ts);
    int64_t seconds, rest;
    split(fake_now_ns(), &seconds, &rest);
    ts->tv_sec = (time_t)seconds;
    ts->tv_nsec = (long)rest;
    return 0;
}

int gettimeofday(struct timeval* restrict tv, void* restrict tz)
{
    if (tz)
        memset(tz, 0, sizeof(struct timezone));
    int64_t seconds, rest;
    split(fake_now_ns(), &seconds, &rest);
    tv->tv_sec = (time_t)seconds;
    tv->tv_usec = (suseconds_t)(rest / 1000);
    return 0;
}

time_t time(time_t* out)
{
    int64_t seconds, rest;
    split(fake_now_ns(), &seconds, &rest);
    if (out)
        *out = (time_t)seconds;
    return (time_t)seconds;
}

int timespec_get(struct timespec* ts, int base)
{
    if (base != TIME_UTC)
        return 0;
    clock_gettime(CLOCK_REALTIME, ts);
    return base;
}

int clock_settime(clockid_t id, const struct timespec* ts)
{
    if (id != CLOCK_REALTIME) {
        errno = EINVAL;  /* what the kernel answers for the clocks nobody sets */
        return -1;
    }
    return fake_set(ts->tv_sec, ts->tv_nsec);
}

int settimeofday(const struct timeval* tv, const struct timezone* tz)
{
    (void)tz;
    if (!tv)
        return 0;
    if (tv->tv_usec < 0 || tv->tv_usec >= 1000000) {
        errno = EINVAL;
        return -1;
    }
    return fake_set(tv->tv_sec, (int64_t)tv->tv_usec * 1000);
}
