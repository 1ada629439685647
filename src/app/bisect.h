#pragma once
// The first point at which a command fails, between one where it passes and
// one where it fails, found by halving. Points are whole days or whole
// seconds, whichever the caller counts; no Qt and no I/O here.

#include <cstdint>
#include <functional>

// What one trial at a point showed. Stop: it could not be made (the reason
// is the caller's to tell), and the search ends without an answer.
enum class TrialOutcome { Passes, Fails, Stop };

struct BisectResult {
    enum Outcome {
        Found,          // `firstFailing` fails and `lastPassing`, the point before it, passes
        NoFailure,      // `to` passes
        FromFails,      // `from` fails already
        Stopped,        // a trial said Stop
    };
    Outcome outcome = Stopped;
    std::int64_t firstFailing = 0;
    std::int64_t lastPassing = 0;
    int runs = 0;  // trials made, the stopped one included
};

// Tries `from`, then `to`, then halves the points between the last that
// passed and the first that failed. Needs `from` < `to`, and assumes a
// command that, once failing, keeps failing.
BisectResult bisect(std::int64_t from, std::int64_t to, const std::function<TrialOutcome(std::int64_t)>& trial);
