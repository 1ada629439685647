#pragma once
// A lock on a file, held while the object lives and let go by the system
// when the process ends, however it ends. A second holder is refused at once.

#include <string>

class RunLock {
public:
    explicit RunLock(const std::string& path);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool held() const { return held_; }

private:
    bool held_ = false;
    void* handle_ = nullptr;  // the open file (a descriptor on Unix)
};
