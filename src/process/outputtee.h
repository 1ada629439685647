#pragma once
// Stands between a command and its standard output and error: what the
// command writes passes on, unchanged, to where they went before, while the
// tee notes whether any output came and keeps the last of the errors, for a
// window that has no terminal to show them in.

#include <string>
#include <utility>
#include <vector>

#include "childcommand.h"

class OutputTee {
public:
    OutputTee();
    ~OutputTee();
    OutputTee(const OutputTee&) = delete;
    OutputTee& operator=(const OutputTee&) = delete;

    bool ok() const { return ok_; }
    // For ChildSetup: the command's output and error, and the ends read here.
    std::vector<std::pair<int, int>> streams() const;
    std::vector<ChildWatch> watches();
    // Once the command has ended: the writing ends are its own programs' alone.
    void closeWritingEnds();
    // Passes on what has come, without waiting for more.
    void passOnWhatCame();
    // Passes on until no process writes to them any more.
    void passOnToTheEnd();

    bool wroteOutput() const { return wroteOutput_; }
    // The last `lines` lines of the errors, from a bounded tail.
    std::string lastErrorLines(int lines) const;

    // Whether standard output reaches a terminal, and where it goes otherwise.
    static bool outputIsTerminal();
    static std::string outputPlace();

private:
    struct Stream {
        int read = -1;
        int write = -1;
        int to = -1;  // where it went before
    };
    // False once it has ended (or where it went is gone).
    bool passOn(Stream& stream);

    Stream streams_[2];  // output, errors
    bool ok_ = false;
    bool wroteOutput_ = false;
    std::string errors_;
};
