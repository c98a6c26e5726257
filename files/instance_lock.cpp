#include "files/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The socket address for `path`, or false when the path does not fit into one.
bool SocketAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
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

std::string FileInstanceLock::channelPath() const {
    if (!safe_) return {};
    const std::string suffix = ".lock";
    return path_.substr(0, path_.size() - suffix.size()) + ".socket";
}

bool InstanceChannel::listen() {
    if (fd_ >= 0) return true;
    sockaddr_un address;
    if (!SocketAddress(path_, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // Only the lock's holder gets here: what is at the path is a killed holder's socket. A link is
    // removed, never followed.
    ::unlink(path_.c_str());
    // Closed to others on top of the folder (which is private already); set after the bind, as
    // a umask for it would be the whole process's meanwhile.
    struct stat st {};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path_.c_str(), 0600) != 0 || ::listen(fd, 4) != 0 ||
        ::lstat(path_.c_str(), &st) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    inode_ = st.st_ino;
    return true;
}

bool InstanceChannel::takeRequests() {
    bool asked = false;
    for (;;) {
        const int peer = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) {
            if (errno == EINTR) continue;
            return asked;  // EAGAIN: none left
        }
        ucred credentials{};
        socklen_t size = sizeof credentials;
        if (::getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
            credentials.uid == ::geteuid())
            asked = true;
        ::close(peer);
    }
}

void InstanceChannel::close() {
    if (fd_ < 0) return;
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == inode_)
        ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

bool InstanceChannel::ask(const std::string& path) {
    sockaddr_un address;
    if (!SocketAddress(path, address)) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}
