#pragma once
// A run-time error as the error reports print it: number, description and
// the help file and context handed on to the message box.

#include <string>

enum ErrorNumber : int {
    kErrInvalidCall = 5,        // "Invalid procedure call or argument"
    kErrTypeMismatch = 13,      // "Type mismatch"
    kErrPermissionDenied = 70,  // "Permission denied"
    kErrTimeService = 440,      // the time service failed otherwise: its error name and message
    // Ours, never shown as numbers: each has a message of its own.
    kErrSyncNotPaused = 10001,  // automatic time sync is on and could not be paused
    kErrSyncStillOn = 10002,    // the time service still refuses while sync is on
    kErrNoRecord = 10003,       // the restore record could not be written
    kErrUnconfirmed = 10004,    // no answer came: the change may still be made, so it counts as made
    kErrRecordPending = 10005,  // a record of an earlier run could not be acted on yet: its reason
    kErrProgramRunning = 10006, // another Ravodor has the date altered: its process id as description
    kErrClockHeld = 10007,      // another change of this machine's clock is in effect: the words that name it
};

// Why a set was refused (error 70), so the message can say what to do.
enum RefusalCause : int {
    kRefusalNoRight = 0,     // neither the right nor a time service to ask
    kRefusalAuthDenied = 1,  // the system's authorisation was denied or cancelled
    kRefusalNotInGroup = 2,  // the helper may be started only by a group this user is not in
};

struct AppError {
    int number = 0;
    std::string description;
    std::string helpFile;
    int helpContext = 0;
    int cause = kRefusalNoRight;  // with error 70 only

    // True when this holds an error, so `if (AppError e = f())` reads naturally.
    explicit operator bool() const { return number != 0; }

    static AppError none() { return {}; }
    static AppError invalidCall() { return {kErrInvalidCall, "Invalid procedure call or argument", {}, 0}; }
    static AppError typeMismatch() { return {kErrTypeMismatch, "Type mismatch", {}, 0}; }
    static AppError permissionDenied() { return {kErrPermissionDenied, "Permission denied", {}, 0}; }
    static AppError authorisationDenied()
    {
        return {kErrPermissionDenied, "Permission denied", {}, 0, kRefusalAuthDenied};
    }
    // Refused only because the call let nobody be asked: asked again with a
    // prompt, it may pass. Told apart by its words, which the guard passes on.
    static AppError interactionRequired()
    {
        return {kErrPermissionDenied, "interactive authorisation required", {}, 0, kRefusalAuthDenied};
    }
    bool needsInteraction() const
    {
        return number == kErrPermissionDenied && description == interactionRequired().description;
    }
};
