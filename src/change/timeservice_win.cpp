// Windows has no time service to ask: the right to set the clock is the
// elevated token's, and there is no automatic sync that undoes a set at once.

#include "timeservice.h"

namespace {

class NoTimeService final : public TimeService {
public:
    bool available() override { return false; }
    SyncState syncState() override { return SyncState::None; }
    AppError setSync(bool, bool) override { return AppError::none(); }
    AppError shiftClock(std::int64_t, bool) override { return AppError::permissionDenied(); }
};

}  // namespace

std::unique_ptr<TimeService> makeTimeService()
{
    return std::make_unique<NoTimeService>();
}
