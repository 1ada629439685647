#pragma once
// The guard's side of the machine's hold (clockhold.h): taken before its
// first change and let go once the real date is back, sync runs again and
// no late shift may land, so that no other user's change starts meanwhile.

#include "clock.h"
#include "clockhold.h"
#include "guardprotocol.h"
#include "localchanger.h"

class MachineHold {
public:
    explicit MachineHold(SystemClock& clock);

    // Before a request is served: refused when another user's change is in
    // effect, or was left so.
    AppError before(const GuardRequest& request, const LocalChanger& changer);
    // After each change: lets go once nothing is left to undo, else notes what is.
    void after(LocalChanger& changer);

private:
    ClockHold hold_;
    SystemClock& clock_;
    HoldNote mine_;
};
