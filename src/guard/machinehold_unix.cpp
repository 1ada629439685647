#include "machinehold.h"

#include <unistd.h>

#include "processinfo.h"

MachineHold::MachineHold(SystemClock& clock) : hold_(clockHoldPath()), clock_(clock)
{
    mine_.uid = getuid();
    mine_.pid = getppid();  // the program that started this guard
    mine_.bootId = currentBootId();
}

AppError MachineHold::before(const GuardRequest& request, const LocalChanger& changer)
{
    ClockHold::Purpose purpose = ClockHold::Change;
    switch (request.kind) {
    case GuardRequest::SyncState:
    case GuardRequest::Undo: return AppError::none();
    case GuardRequest::SyncOn: purpose = ClockHold::WayBack; break;
    case GuardRequest::Adopt:
        if (request.date.isNull() && !request.syncPaused)
            return AppError::none();
        purpose = ClockHold::TakeOver;
        break;
    case GuardRequest::SyncOff:
    case GuardRequest::Date: break;
    }
    if (hold_.held())
        return AppError::none();
    // Told as changed from the start: a guard killed mid-change leaves the right anchor.
    mine_.anchorBootNs = clock_.bootNs();
    mine_.anchorWallNs = clock_.nowNs();
    if (purpose == ClockHold::TakeOver && !request.date.isNull())
        clock_.instantOn(request.date, mine_.anchorWallNs, &mine_.anchorWallNs);
    mine_.sinceNs = mine_.anchorWallNs;
    mine_.changed = purpose != ClockHold::WayBack || changer.changed();
    return hold_.take(purpose, mine_.uid, mine_, clock_);
}

void MachineHold::after(LocalChanger& changer)
{
    if (!hold_.held())
        return;
    if (!changer.changed() && !changer.syncPaused() && !changer.awaitingLateShift(clock_.bootNs())) {
        hold_.release();
        return;
    }
    if (changer.changed()) {
        mine_.anchorWallNs = changer.anchorWallNs();
        mine_.anchorBootNs = changer.anchorBootNs();
    }
    mine_.changed = true;
    hold_.note(mine_);
}
