#pragma once
// A guard started in a user and mount namespace of its own, so that a test
// can give it the machine's zone and system log it needs: a zone bound over
// /etc/localtime, a /dev/log of the test's or none. Root of
// that namespace holds CAP_SYS_TIME only there, which no clock of the
// machine's obeys; the fake clock takes its sets all the same.

#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>
#include <string>

struct Sandbox {
    std::string zone;       // bound over /etc/localtime; "": the machine's
    bool ownRight = false;  // root there keeps its capabilities, so the guard logs as with its own right
    std::string logSocket;  // with ownRight: bound at /dev/log in an empty /dev; "": no /dev/log at all
};

// In a child about to exec: enters `box`. "" or what failed.
inline std::string enterSandbox(const Sandbox& box)
{
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return "unshare";
    const auto put = [](const char* file, const std::string& text) {
        std::ofstream out(file);
        out << text;
        out.close();
        return !out.fail();
    };
    if (!put("/proc/self/setgroups", "deny") || !put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")
        || !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return "maps";
    // Nothing mounted here may reach the machine's own tree.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "private";
    if (!box.zone.empty() && mount(box.zone.c_str(), "/etc/localtime", nullptr, MS_BIND, nullptr) != 0)
        return "zone";
    if (box.ownRight) {
        if (mount("ravodor-dev", "/dev", "tmpfs", 0, nullptr) != 0)
            return "/dev";
        if (!box.logSocket.empty()) {
            const int fd = open("/dev/log", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            if (fd < 0 || close(fd) != 0 || mount(box.logSocket.c_str(), "/dev/log", nullptr, MS_BIND, nullptr) != 0)
                return "/dev/log";
        }
    } else {
        // Root of the namespace without any capability: the guard has no right of its own.
        for (int cap = 0; cap < 64; ++cap)
            prctl(PR_CAPBSET_DROP, cap);
    }
    return "";
}
