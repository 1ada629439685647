#pragma once
// The guard's whole interface: one request a line on its standard input,
// one answer a line on its standard output. Nothing else it reads can move
// the clock, and no request names an instant, a time of day, a file or a
// command.
//
//   sync-state               -> 0 0 none|off|on
//   sync-off I | sync-on I   -> automatic time sync off or on
//   date YYYY-MM-DD I        -> that local date, the time of day kept
//   undo I                   -> back to the real instant the guard anchored
//   adopt YYYY-MM-DD|- P     -> the real date is that (-: in effect); P=1: sync is off
//
// I is 1 when the system may ask the user for authorisation, else 0.
// Answers: "NUMBER CAUSE DESCRIPTION", 0 for done (an AppError otherwise).

#include <string>

#include "apperror.h"
#include "clock.h"

struct GuardRequest {
    enum Kind { SyncState, SyncOff, SyncOn, Date, Undo, Adopt };
    Kind kind = SyncState;
    CivilDate date;            // Date and Adopt (null: the real date is in effect)
    bool interactive = false;  // SyncOff, SyncOn, Date, Undo
    bool syncPaused = false;   // Adopt
};

// The longest line either side sends; a longer one is refused unread.
constexpr std::size_t kGuardLineMax = 256;

std::string formatRequest(const GuardRequest& request);
// False for anything that is not exactly one of the requests above, with a
// date the window could set (years 100 to 9999, a calendar day).
bool parseRequest(const std::string& line, GuardRequest* request);

std::string formatAnswer(const AppError& answer);
// False for anything formatAnswer does not write.
bool parseAnswer(const std::string& line, AppError* answer);
