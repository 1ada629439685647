#pragma once
// The services a window gets when it runs on the fake clock and the message
// recorder, in the day-first English locale the tests are written in.

#include <memory>

#include "datekeeper.h"
#include "fakeclock.h"
#include "localchanger.h"
#include "faketimeservice.h"
#include "messagerecorder.h"
#include "services.h"

// A keeper on the fake clock and `timeService` (none when null) that changes
// the clock in-process, without a guard.
inline std::shared_ptr<DateKeeper> fakeKeeper(FakeClock& clock, TimeService* timeService = nullptr)
{
    static FakeTimeService none(nullptr, SyncState::None);
    none.present = false;
    return std::make_shared<DateKeeper>(clock, std::make_unique<LocalChanger>(clock, timeService ? *timeService : none),
                                        "Software\\Zaduziro\\ravodor");
}

inline Services fakeServices(FakeClock& clock, MessageRecorder& dialogs)
{
    Services services;
    services.clock = &clock;
    services.keeper = fakeKeeper(clock);
    services.dialogs = &dialogs;
    services.dates = DateText(QLocale(QLocale::English, QLocale::UnitedKingdom));
    services.endProcess = [](int) {};
    services.openAddress = [](QWidget*, const std::string&) { return true; };
    services.exeBaseName = "ravodor";
    return services;
}
