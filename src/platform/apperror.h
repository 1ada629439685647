#pragma once
// A run-time error as the error reports print it: number, description and
// the help file and context handed on to the message box.

#include <string>

enum ErrorNumber : int {
    kErrInvalidCall = 5,        // "Invalid procedure call or argument"
    kErrTypeMismatch = 13,      // "Type mismatch"
    kErrPermissionDenied = 70,  // "Permission denied"
};

struct AppError {
    int number = 0;
    std::string description;
    std::string helpFile;
    int helpContext = 0;

    // True when this holds an error, so `if (AppError e = f())` reads naturally.
    explicit operator bool() const { return number != 0; }

    static AppError none() { return {}; }
    static AppError invalidCall() { return {kErrInvalidCall, "Invalid procedure call or argument", {}, 0}; }
    static AppError typeMismatch() { return {kErrTypeMismatch, "Type mismatch", {}, 0}; }
    static AppError permissionDenied() { return {kErrPermissionDenied, "Permission denied", {}, 0}; }
};
