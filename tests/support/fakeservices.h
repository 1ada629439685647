#pragma once
// The services a window gets when it runs on the fake clock and the message
// recorder, in the day-first English locale the tests are written in.

#include "fakeclock.h"
#include "messagerecorder.h"
#include "services.h"

inline Services fakeServices(FakeClock& clock, MessageRecorder& dialogs)
{
    Services services;
    services.clock = &clock;
    services.dialogs = &dialogs;
    services.dates = DateText(QLocale(QLocale::English, QLocale::UnitedKingdom));
    services.endProcess = [](int) {};
    services.openAddress = [](QWidget*, const std::string&) { return true; };
    services.exeBaseName = "ravodor";
    return services;
}
