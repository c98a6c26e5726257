#pragma once
// The single-instance rule: a per-user lock that the operating system drops when the process ends,
// however it ends, so a killed instance never blocks the next start.
#include <string>

class IInstanceLock {
public:
    virtual ~IInstanceLock() = default;
    // False when another process holds the lock.
    virtual bool tryAcquire() = 0;
    virtual void release() = 0;
};

// flock(2) on a file named after the lock in $XDG_RUNTIME_DIR, else in a private folder of the
// user's in the temporary folder (pingrove-<uid>, mode 0700). When that folder is not safe (a link,
// another owner, open to others) the program starts without the lock and says so on stderr.
class FileInstanceLock : public IInstanceLock {
public:
    explicit FileInstanceLock(std::string name);
    ~FileInstanceLock() override;
    bool tryAcquire() override;
    void release() override;
    const std::string& path() const { return path_; }
    // False when the lock's folder could not be trusted; tryAcquire then lets the start go on.
    bool isSafe() const { return safe_; }

private:
    std::string path_;
    int fd_ = -1;
    bool safe_ = true;
};
