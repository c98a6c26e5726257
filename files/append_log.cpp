#include "files/append_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/atomic_file.h"

AppendLog::AppendLog(std::string path, std::string header, size_t rotateAt)
    : path_(std::move(path)), header_(std::move(header)), rotateAt_(rotateAt) {}

bool AppendLog::append(std::string_view line) {
    const size_t slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0) makePrivateFolders(path_.substr(0, slash));
    const int fd =
        ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string out;
    if (ok && st.st_size == 0) {
        out = header_;
    } else if (ok) {
        // The last line was torn (a kill mid-write): the new one starts on a line of its own.
        char last = '\n';
        ok = ::pread(fd, &last, 1, st.st_size - 1) == 1;
        if (last != '\n') out = "\r\n";
    }
    out.append(line);
    ok = ok && writeAll(fd, out) && ::fdatasync(fd) == 0;
    const bool full = ok && static_cast<size_t>(st.st_size) + out.size() >= rotateAt_;
    ok = ::close(fd) == 0 && ok;
    if (full) ::rename(path_.c_str(), (path_ + ".1").c_str());
    return ok;
}
