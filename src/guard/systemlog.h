#pragma once
// Where the guard tells the administrator of each change it makes with its
// own right: one line a change in the system log, as sudo does (authpriv).

#include <cstdio>
#include <string>

#include "localchanger.h"

// Without secure execution RAVODOR_GUARD_LOG may name a file that takes the
// lines instead (the tests').
class SystemLog final : public ChangeLog {
public:
    SystemLog();
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void clockSet(const CivilDate& date, std::int64_t instantNs) override;

private:
    bool on_ = false;
    std::FILE* file_ = nullptr;
    std::string who_;
};
