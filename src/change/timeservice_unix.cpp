// The time service on Linux: systemd-timedated on the system bus, over sd-bus.
// Each call opens its own connection: the service may live on another thread
// than its creator, and a bus that restarted in between costs nothing.
//
// sd_bus_open_system() takes DBUS_SYSTEM_BUS_ADDRESS only outside secure
// execution, so a program started with the right to set the clock cannot be
// pointed at another bus. Do not read that variable here.

#include "timeservice.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include <systemd/sd-bus.h>

#include "buserrorwords.h"

namespace {

constexpr char kService[] = "org.freedesktop.timedate1";
constexpr char kPath[] = "/org/freedesktop/timedate1";
constexpr char kInterface[] = "org.freedesktop.timedate1";

constexpr char kNoNtpSupport[] = "org.freedesktop.timedate1.NoNTPSupport";
constexpr char kSyncEnabled[] = "org.freedesktop.timedate1.AutomaticTimeSyncEnabled";

constexpr std::uint64_t kUsPerSecond = 1000000;
// Property reads: timedated starts on demand within a second; 5 s allows a
// busy machine, and a bus that does not answer is not mistaken for a hang.
constexpr std::uint64_t kReadTimeoutUs = 5 * kUsPerSecond;
// A call that may raise a password prompt waits as long as the prompt is up:
// given up earlier, its answer could still come and move the clock.
constexpr std::uint64_t kInteractiveTimeoutUs = UINT64_MAX;
// Without a prompt timedated answers at once: it only queues a unit job.
constexpr std::uint64_t kQuietTimeoutUs = 10 * kUsPerSecond;
// Stopping or starting the sync unit takes well under a second; timedated
// refuses SetTime until that job is done.
constexpr auto kSettleLimit = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(25);
constexpr auto kRetryInterval = std::chrono::milliseconds(50);

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// An sd_bus_error that frees itself.
struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }

    bool is(const char* name) const { return sd_bus_error_has_name(&error, name) > 0; }
    // The failed call's error in words, or errno's when the bus gave none.
    std::string text(int r)
    {
        if (!sd_bus_error_is_set(&error))
            sd_bus_error_set_errno(&error, r);
        return busErrorInWords(error.name, error.message);
    }
};

int openBus(Bus* bus)
{
    sd_bus* raw = nullptr;
    const int r = sd_bus_open_system(&raw);
    if (r < 0)
        return r;
    bus->reset(raw);
    sd_bus_set_method_call_timeout(raw, kReadTimeoutUs);
    return 0;
}

int readBool(sd_bus* bus, const char* property, bool* value, BusError* error)
{
    int v = 0;
    const int r = sd_bus_get_property_trivial(bus, kService, kPath, kInterface, property, &error->error, 'b', &v);
    if (r >= 0)
        *value = v != 0;
    return r;
}

// Calls `method`; `append` adds its arguments before the final `interactive`.
template <typename Append>
int callMethod(sd_bus* bus, const char* method, bool interactive, BusError* error, Append append)
{
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus, &raw, kService, kPath, kInterface, method);
    if (r < 0)
        return r;
    Message call(raw);
    // The header flag and timedated's own argument say the same.
    sd_bus_message_set_allow_interactive_authorization(raw, interactive);
    if ((r = append(raw)) < 0 || (r = sd_bus_message_append(raw, "b", int(interactive))) < 0)
        return r;
    return sd_bus_call(bus, raw, interactive ? kInteractiveTimeoutUs : kQuietTimeoutUs, &error->error, nullptr);
}

// Asked again with a prompt, the call may pass: the caller decides whether to.
AppError refusal(const BusError& e)
{
    return e.is(SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED) ? AppError::interactionRequired()
                                                                   : AppError::authorisationDenied();
}

bool isRefusal(const BusError& e)
{
    return sd_bus_error_has_names(&e.error, SD_BUS_ERROR_ACCESS_DENIED, SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED,
                                  "org.freedesktop.PolicyKit1.Error.Cancelled",
                                  "org.freedesktop.PolicyKit1.Error.NotAuthorized")
        > 0;
}

bool isServiceMissing(const BusError& e)
{
    return sd_bus_error_has_names(&e.error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER) > 0;
}

AppError serviceError(std::string description)
{
    return {kErrTimeService, std::move(description), {}, 0};
}

// No answer came (a time limit, a lost connection): the call may still be
// carried out, so it counts as made.
bool unanswered(const BusError& e, int r)
{
    return r == -ETIMEDOUT || r == -ECONNRESET || r == -ENOTCONN || r == -EPIPE
        || sd_bus_error_has_names(&e.error, SD_BUS_ERROR_NO_REPLY, SD_BUS_ERROR_TIMEOUT, SD_BUS_ERROR_DISCONNECTED) > 0;
}

AppError unconfirmed(std::string description)
{
    return {kErrUnconfirmed, std::move(description), {}, 0};
}

class TimedatedService final : public TimeService {
public:
    bool available() override
    {
        Bus bus;
        if (openBus(&bus) < 0)
            return false;
        BusError error;
        bool can = false;
        return readBool(bus.get(), "CanNTP", &can, &error) >= 0;
    }

    SyncState syncState() override
    {
        Bus bus;
        if (openBus(&bus) < 0)
            return SyncState::None;
        BusError error;
        bool can = false, ntp = false;
        if (readBool(bus.get(), "CanNTP", &can, &error) < 0 || !can
            || readBool(bus.get(), "NTP", &ntp, &error) < 0)
            return SyncState::None;
        return ntp ? SyncState::On : SyncState::Off;
    }

    AppError setSync(bool on, bool interactive) override
    {
        Bus bus;
        BusError error;
        int r = openBus(&bus);
        if (r < 0)
            return serviceError(error.text(r));
        r = callMethod(bus.get(), "SetNTP", interactive, &error,
                       [on](sd_bus_message* m) { return sd_bus_message_append(m, "b", int(on)); });
        if (r < 0) {
            if (error.is(kNoNtpSupport))
                return AppError::none();
            if (isRefusal(error))
                return refusal(error);
            if (unanswered(error, r))
                return unconfirmed(error.text(r));
            return serviceError(error.text(r));
        }
        // SetNTP returns once the unit job is queued; the property follows
        // when the job is done. Not seen in time, it may still follow.
        const auto deadline = std::chrono::steady_clock::now() + kSettleLimit;
        for (;;) {
            BusError readError;
            bool ntp = !on;
            if (readBool(bus.get(), "NTP", &ntp, &readError) >= 0 && ntp == on)
                return AppError::none();
            if (std::chrono::steady_clock::now() >= deadline)
                return unconfirmed("timed out");
            std::this_thread::sleep_for(kPollInterval);
        }
    }

    AppError shiftClock(std::int64_t deltaUs, bool interactive) override
    {
        Bus bus;
        if (openBus(&bus) < 0)
            return AppError::permissionDenied();
        const auto deadline = std::chrono::steady_clock::now() + kSettleLimit;
        for (;;) {
            BusError error;
            const int r = callMethod(bus.get(), "SetTime", interactive, &error, [deltaUs](sd_bus_message* m) {
                return sd_bus_message_append(m, "xb", deltaUs, int(true));  // relative
            });
            if (r >= 0)
                return AppError::none();
            if (error.is(kSyncEnabled)) {
                if (std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(kRetryInterval);
                    continue;
                }
                return {kErrSyncStillOn, error.text(r), {}, 0};
            }
            if (isRefusal(error))
                return refusal(error);
            if (isServiceMissing(error))
                return AppError::permissionDenied();
            if (error.is(SD_BUS_ERROR_INVALID_ARGS))
                return AppError::invalidCall();
            if (unanswered(error, r))
                return unconfirmed(error.text(r));
            return serviceError(error.text(r));
        }
    }
};

}  // namespace

std::unique_ptr<TimeService> makeTimeService()
{
    return std::make_unique<TimedatedService>();
}
