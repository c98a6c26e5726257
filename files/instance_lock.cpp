#include "files/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// A folder only this user can enter: created 0700 when missing, otherwise accepted only when it
// is a real folder (not a link), owned by us and closed to everybody else. Another user can
// neither plant a link in it nor hold the lock file.
bool PrivateFolder(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

}  // namespace

FileInstanceLock::FileInstanceLock(std::string name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && ::access(runtime, W_OK) == 0) {
        path_ = std::string(runtime) + "/" + name + ".lock";
    } else {
        // The temporary folder is shared: the lock goes into a folder of our own there.
        const std::string dir =
            (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::geteuid())))
                .string();
        path_ = dir + "/" + name + ".lock";
        safe_ = PrivateFolder(dir);
    }
}

FileInstanceLock::~FileInstanceLock() {
    release();
}

bool FileInstanceLock::tryAcquire() {
    if (fd_ >= 0) return true;
    if (!safe_) {
        std::fprintf(stderr,
                     "pingrove: %s is not a private folder of this user; starting without the "
                     "single-instance lock\n",
                     path_.c_str());
        return true;  // better to run unguarded than to refuse forever or follow a planted link
    }
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return true;  // no place for a lock: better to run than to refuse forever
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void FileInstanceLock::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}
