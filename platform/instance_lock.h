#pragma once
// The single-instance rule: a per-user lock that the operating system drops when the process ends,
// however it ends, so a killed instance never blocks the next start.
#include <string>

class IInstanceLock {
public:
    virtual ~IInstanceLock() = default;
    // False when another process holds the lock.
    virtual bool TryAcquire() = 0;
    virtual void Release() = 0;
};

// flock(2) on a file named after the lock in $XDG_RUNTIME_DIR (else the temporary folder, with the
// user id in the name so that users do not share it).
class FileInstanceLock : public IInstanceLock {
public:
    explicit FileInstanceLock(std::string name);
    ~FileInstanceLock() override;
    bool TryAcquire() override;
    void Release() override;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};
