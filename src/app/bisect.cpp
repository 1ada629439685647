#include "bisect.h"

BisectResult bisect(std::int64_t from, std::int64_t to, const std::function<TrialOutcome(std::int64_t)>& trial)
{
    BisectResult result;
    const auto run = [&](std::int64_t point) {
        ++result.runs;
        return trial(point);
    };
    switch (run(from)) {
    case TrialOutcome::Passes:
        break;
    case TrialOutcome::Fails:
        result.outcome = BisectResult::FromFails;
        return result;
    case TrialOutcome::Stop:
        return result;
    }
    switch (run(to)) {
    case TrialOutcome::Fails:
        break;
    case TrialOutcome::Passes:
        result.outcome = BisectResult::NoFailure;
        return result;
    case TrialOutcome::Stop:
        return result;
    }
    std::int64_t passing = from;
    std::int64_t failing = to;
    while (failing - passing > 1) {
        // Halves without adding the two, which could overflow.
        const std::int64_t middle = passing + (failing - passing) / 2;
        switch (run(middle)) {
        case TrialOutcome::Passes:
            passing = middle;
            break;
        case TrialOutcome::Fails:
            failing = middle;
            break;
        case TrialOutcome::Stop:
            return result;
        }
    }
    result.outcome = BisectResult::Found;
    result.firstFailing = failing;
    result.lastPassing = passing;
    return result;
}
