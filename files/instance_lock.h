#pragma once
// The single-instance rule: a per-user lock that the operating system drops when the process ends,
// however it ends, so a killed instance never blocks the next start.
#include <string>
#include <utility>

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
    // Where the holder listens for later starts (InstanceChannel): beside the lock, or empty when
    // the folder could not be trusted.
    std::string channelPath() const;

private:
    std::string path_;
    int fd_ = -1;
    bool safe_ = true;
};

// How a later start reaches the running instance: a Unix socket beside the lock, bound only by the
// lock's holder. A connection from this user is a request to bring the window forward; nothing is
// read from it, so neither side ever waits for the other. A socket or a caller of another user's
// is never trusted.
class InstanceChannel {
public:
    explicit InstanceChannel(std::string path) : path_(std::move(path)) {}
    ~InstanceChannel() { close(); }
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    // For the lock's holder: replaces a socket left by an instance that was killed and listens,
    // without blocking. False when there is no place for it (the start goes on without).
    bool listen();
    // The listening socket, to watch for reading; -1 before listen().
    int fd() const { return fd_; }
    // Takes every connection waiting; true when one of them was this user's.
    bool takeRequests();
    // Stops listening and removes the socket if it is still ours. Call before the lock is
    // released: a later holder's socket is never removed.
    void close();

    // For a later start: asks the instance listening at `path` to bring its window forward.
    // False when no socket of this user's is there or nobody listens.
    static bool ask(const std::string& path);

private:
    std::string path_;
    int fd_ = -1;
    unsigned long inode_ = 0;  // of the socket we bound, so that only ours is removed
};
