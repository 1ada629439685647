#pragma once
// A system bus of the test's own: a dbus-daemon and a stand-in timedated
// (tests/dbus/timedated_strict.py), run as the current user while it lives.
// DBUS_SYSTEM_BUS_ADDRESS points at it, so the real time service never
// reaches this machine's clock. Linux only, no Qt.

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A SetNTP or SetTime call as the stand-in received it.
struct BusCall {
    std::string call;   // "SetTime(-86400000000, 1, 1)", booleans as 0 and 1
    std::string error;  // the D-Bus error it was answered with, or ""

    std::string text() const { return call; }
};

// Points DBUS_SYSTEM_BUS_ADDRESS at a socket nobody listens on while it
// lives: a machine without a system bus. Afterwards the address is what it
// was before, or still nowhere.
class NoBus {
public:
    NoBus();
    ~NoBus();
    NoBus(const NoBus&) = delete;
    NoBus& operator=(const NoBus&) = delete;

private:
    std::optional<std::string> old_;
};

class PrivateBus {
public:
    struct Options {
        bool ntp = true;           // automatic sync on at start
        bool canNtp = true;        // false: no sync unit, SetNTP answers NoNTPSupport
        bool timedated = true;     // false: a bus without the time service
        bool polkitAllows = true;  // false: every authorisation is denied
        bool polkitAsks = false;   // true: a quiet call needs a prompt, a prompted one passes
        std::string failFirst;     // a D-Bus error the first call is answered with, "it broke"
        int lateFirstMs = -1;      // >= 0: the first call is answered as never answered, and made this much later
        bool session = false;      // true: a session bus (DBUS_SESSION_BUS_ADDRESS), without timedated
        // With session: a stand-in notification service offering these
        // capabilities (blank-separated; tests/dbus/notifications.py).
        std::optional<std::string> notifications;
    };

    // Why the tools are missing, or ""; tests skip with it.
    static std::string missingTools();

    PrivateBus() : PrivateBus(Options()) {}
    explicit PrivateBus(const Options& options);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // Every SetNTP and SetTime call so far, in order.
    std::vector<BusCall> calls() const;
    // What the stand-in notification service was asked and sent, a line
    // each as python3-dbusmock logs them, the time left off
    // ("Notify \"Ravodor\" 0 ...", "emit /org/... NotificationClosed 1 1").
    std::vector<std::string> notificationCalls() const;
    // The file the calls are written to, a line each, as they come.
    std::string callLog() const { return dir_ + "/calls"; }

private:
    bool start(const Options& options);
    // Until `ready`; false with error() from <name>.log when `pid` ends first or takes too long.
    bool waitFor(pid_t* pid, const std::string& name, const std::function<bool()>& ready);

    NoBus noBus_;  // first: nowhere until our bus is up, and again after
    bool session_ = false;
    std::string dir_;
    std::string error_;
    pid_t daemon_ = -1;
    pid_t timedated_ = -1;
    pid_t notifications_ = -1;
};
