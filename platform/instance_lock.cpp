#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

FileInstanceLock::FileInstanceLock(std::string name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && ::access(runtime, W_OK) == 0) {
        path_ = std::string(runtime) + "/" + name + ".lock";
    } else {
        path_ = (std::filesystem::temp_directory_path() /
                 (name + "-" + std::to_string(::getuid()) + ".lock"))
                    .string();
    }
}

FileInstanceLock::~FileInstanceLock() {
    Release();
}

bool FileInstanceLock::TryAcquire() {
    if (fd_ >= 0) return true;
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;  // no place for a lock: better to run than to refuse forever
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void FileInstanceLock::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}
