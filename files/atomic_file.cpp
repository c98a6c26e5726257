#include "files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

namespace {

// A file that is replaced keeps its mode; anything else (a new file, or a link that is not
// followed and whose target's mode, say 0666 of /dev/zero, means nothing here) gets the usual one.
mode_t NewFileMode(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A link the user made (say iplist.txt pointing into a synced folder) is meant to stay a link:
// the write goes to the file it names. A link planted by somebody else is not followed; the
// rename then replaces the link itself, as it would any file.
std::string WriteTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != ::geteuid())
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) {
        // Only ever through to a regular file: never replace a device or FIFO it names.
        struct stat target {};
        return ::stat(resolved, &target) == 0 && S_ISREG(target.st_mode) ? resolved : path;
    }
    // A dangling link: write where it points, relative to the link's folder.
    char target[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0) return path;
    std::string t(target, static_cast<size_t>(n));
    if (t[0] == '/') return t;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? t : path.substr(0, slash + 1) + t;
}

// A temporary file's name: ".name." + six random characters + this suffix. The suffix is one no
// user would pick, so a ".iplist.txt.backup" of the user's is never taken for a leftover.
constexpr std::string_view kTemporarySuffix = ".pingrove-tmp";

// The file's name as its temporary's starts: whole while the temporary's name stays within a
// folder entry's 255 bytes, else cut (at a character's start), so that a name the user may give
// is never refused only for what the temporary adds to it.
std::string TemporaryStem(const std::string& base) {
    constexpr size_t kNameMax = 255;
    constexpr size_t kAdded = 1 + 1 + 6 + kTemporarySuffix.size();
    if (base.size() + kAdded <= kNameMax) return base;
    size_t cut = kNameMax - kAdded;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    return base.substr(0, cut);
}

// Temporary files of an earlier write that was killed before its rename, regular files of our own.
void RemoveLeftovers(const std::string& dir, const std::string& base) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = "." + TemporaryStem(base) + ".";
    while (dirent* e = ::readdir(d)) {
        std::string_view name(e->d_name);
        if (name.size() != prefix.size() + 6 + kTemporarySuffix.size() ||
            name.substr(0, prefix.size()) != prefix ||
            name.substr(prefix.size() + 6) != kTemporarySuffix)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

}  // namespace

namespace {

// The outcome alone, with no data.
FileRead Outcome(ReadResult result) {
    FileRead r;
    r.result = result;
    return r;
}

// A descriptor closed whichever way the read ends.
struct OpenFile {
    int fd;
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

FileRead readRegularFile(const std::string& path, size_t limit) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Outcome(errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing
                                                           : ReadResult::Unreadable);
    if (!S_ISREG(st.st_mode)) return Outcome(ReadResult::NotRegular);
    // O_NONBLOCK: should a FIFO have taken the file's place since, the open does not wait for a
    // writer; the fstat below then turns it away.
    const OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) return Outcome(errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable);
    if (::fstat(file.fd, &st) != 0) return Outcome(ReadResult::Unreadable);
    if (!S_ISREG(st.st_mode)) return Outcome(ReadResult::NotRegular);
    if (static_cast<uint64_t>(st.st_size) > limit) return Outcome(ReadResult::TooBig);
    FileRead out = Outcome(ReadResult::Read);
    try {
        out.data.reserve(static_cast<size_t>(st.st_size));
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(file.fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Outcome(ReadResult::Unreadable);
            if (n == 0) return out;
            if (out.data.size() + static_cast<size_t>(n) > limit)  // it grew meanwhile
                return Outcome(ReadResult::TooBig);
            out.data.append(buf, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        return Outcome(ReadResult::OutOfMemory);
    }
}

std::optional<std::string> readWholeFile(const std::string& path) {
    FileRead r = readRegularFile(path, std::numeric_limits<size_t>::max());
    if (r.result != ReadResult::Read) return std::nullopt;
    return std::move(r.data);
}

std::string freeBackupName(const std::string& path) {
    std::string name = path + ".bak";
    struct stat st {};
    for (int n = 1; ::lstat(name.c_str(), &st) == 0; ++n) name = path + ".bak." + std::to_string(n);
    return name;
}

std::optional<std::string> moveAsideToBackup(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = freeBackupName(path);
        // RENAME_NOREPLACE: a backup that appeared in the meantime is never replaced.
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0)
            return name;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
        // A file system without RENAME_NOREPLACE: a hard link cannot replace either.
        if (::link(path.c_str(), name.c_str()) == 0) {
            if (::unlink(path.c_str()) == 0) return name;
            ::unlink(name.c_str());
            return std::nullopt;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

bool writeFileAtomically(const std::string& requested, std::string_view data) {
    const std::string path = WriteTarget(requested);
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return false;
    RemoveLeftovers(dir, base);
    std::string tmp = dir + "/." + TemporaryStem(base) + ".XXXXXX" + std::string(kTemporarySuffix);
    mode_t mode = NewFileMode(path);
    int fd = ::mkstemps(tmp.data(), static_cast<int>(kTemporarySuffix.size()));
    if (fd < 0) return false;
    bool ok = writeAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename itself must reach the disk too, or a power loss could bring back the old name.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool makePrivateFolders(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) == 0) return !p.empty() && S_ISDIR(st.st_mode);
    const size_t slash = p.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makePrivateFolders(p.substr(0, slash)))
        return false;
    return ::mkdir(p.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeTextFileAtomically(const std::string& path, std::string_view text) {
    return writeFileAtomically(path, textFileBytes(text));
}

std::string textFileBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    char previous = 0;
    for (char c : text) {
        if (c == '\n' && previous != '\r') out += '\r';
        out += c;
        previous = c;
    }
    return out;
}
