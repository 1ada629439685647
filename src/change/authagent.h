#pragma once
// A text agent for the system's authorisation prompts, started the way
// systemd's tools start it, so that a password asked for by the time
// service is typed in the terminal the program was started from.

#include <cstdint>

class AuthAgent {
public:
    AuthAgent() = default;
    // Ends the agent, if one runs.
    ~AuthAgent();
    AuthAgent(const AuthAgent&) = delete;
    AuthAgent& operator=(const AuthAgent&) = delete;

    // When standard input is a terminal, starts pkttyagent from PATH for the
    // prompts of process `pid` and waits until it is ready. False when none
    // was started (no terminal, no such program, or the system has none).
    bool start(std::int64_t pid);
    void stop();

private:
    std::int64_t pid_ = 0;
};
