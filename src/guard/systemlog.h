#pragma once
// Where the guard tells the administrator of each change it makes with its
// own right: one line in the system log before the clock moves, as sudo
// does (authpriv). It connects when the guard starts; a guard whose line
// cannot get through makes no change with its own right.

#include <string>

#include "localchanger.h"

class SystemLog final : public ChangeLog {
public:
    // Without its own right the guard changes nothing itself and logs
    // nothing; then, outside secure execution, RAVODOR_GUARD_LOG may name a
    // file that takes the lines (the tests').
    SystemLog();
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    // The request being served, as the guard read it: the line's own words.
    void serving(const std::string& request) { request_ = request; }

    bool aboutToSet(const std::string& what, std::int64_t instantNs) override;
    void notSet(const AppError& error) override;

private:
    bool connect();
    bool send(const std::string& line);
    bool write(const std::string& line);

    bool needed_ = false;  // changes with its own right must have their line
    bool file_ = false;    // fd_ is the tests' file
    int fd_ = -1;
    int type_ = 0;  // the socket's type: SOCK_DGRAM, or SOCK_STREAM where only that is offered
    std::string user_, caller_, request_;
};
