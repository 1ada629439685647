#pragma once
// A system bus of the test's own: a dbus-daemon with a private config, a
// stand-in timedated (tests/dbus/timedated_strict.py) and dbusmock's polkitd,
// all started as the current user and stopped again by the destructor.
// While it lives, DBUS_SYSTEM_BUS_ADDRESS points at it, so the real time
// service talks to the stand-in and never to this machine's clock; afterwards
// it points where it did before, or nowhere.
// Linux only, no Qt.

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct sd_bus;

// A SetNTP or SetTime call as the stand-in received it.
struct BusCall {
    std::string method;               // "SetNTP" or "SetTime"
    std::vector<std::int64_t> args;   // as sent, booleans as 0 and 1
    std::string error;                // the D-Bus error it was answered with; "" when it succeeded

    std::string text() const;         // "SetTime(-86400000000, 1, 1)"
};

class PrivateBus {
public:
    struct Options {
        bool ntp = true;               // automatic sync on at start
        bool canNtp = true;            // false: no sync unit, SetNTP answers NoNTPSupport
        bool timedated = true;         // false: a bus without the time service
        bool polkitAllows = true;      // false: every authorisation is denied
        double stopJobSeconds = 0.2;   // how long SetNTP's unit job takes
    };

    // Why the tools are not there ("" when they are): dbus-daemon and
    // python3-dbusmock. Tests skip with this reason.
    static std::string missingTools();

    explicit PrivateBus(const Options& options);
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Whether everything started; if not, error() says what failed.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& address() const { return address_; }

    // Every SetNTP and SetTime call so far, in order.
    std::vector<BusCall> calls();
    // Switches NTP at once, as if someone else did (not recorded).
    bool setNtp(bool on);
    bool setPolkitAllows(bool allow);
    // The next call of `method` fails with this D-Bus error.
    bool failNext(const std::string& method, const std::string& name, const std::string& message);

private:
    bool start(const Options& options);
    bool startMock(const std::vector<std::string>& args, const std::string& log, pid_t* pid);
    bool waitForName(const char* name, pid_t* owner, const std::string& log);
    bool call(const char* destination, const char* path, const char* member, const char* types, ...);
    void stop(pid_t* pid);

    std::string dir_;
    std::string address_;
    std::string error_;
    pid_t daemon_ = -1;
    pid_t timedated_ = -1;
    pid_t polkit_ = -1;
    sd_bus* control_ = nullptr;
    bool hadAddress_ = false;
    std::string oldAddress_;
};

// Points DBUS_SYSTEM_BUS_ADDRESS at a socket nobody listens on while it
// lives: a machine without a system bus.
class NoBus {
public:
    NoBus();
    ~NoBus();
    NoBus(const NoBus&) = delete;
    NoBus& operator=(const NoBus&) = delete;

private:
    bool hadAddress_ = false;
    std::string oldAddress_;
};
