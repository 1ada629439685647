#pragma once
// The side of --at --only that tells the window how the start went
// (startreport.h): the command's output and errors pass through a tee on
// their way, and one report goes out once the first moments have passed or
// the command has ended, whichever comes first.

#include <QString>

#include <memory>

#include "childcommand.h"

class OutputTee;

class StartReporter {
public:
    // `fd`: the socket handed over by the window; -1 reports nothing, and
    // nothing then stands between the command and its output.
    explicit StartReporter(int fd);
    ~StartReporter();
    StartReporter(const StartReporter&) = delete;
    StartReporter& operator=(const StartReporter&) = delete;

    // The tee's streams and watches, and the end of the first moments.
    ChildSetup setup();
    void notStarted(int status, const QString& why);
    void ended(int status);
    // After the command: what the programs it started write, for as long as they do.
    void passOnToTheEnd();

private:
    void send(int outcome, int status, const QString& why = {});

    int fd_;
    std::unique_ptr<OutputTee> tee_;
};
