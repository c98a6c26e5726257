#include "files/kept_file.h"

#include <sys/stat.h>

#include <cerrno>

FileRead KeptFile::load() {
    FileRead r = readRegularFile(path_, sizeLimit_);
    start_ = r.result;
    return r;
}

bool KeptFile::prepareReplacement() {
    switch (start_) {
        case ReadResult::Read:
        case ReadResult::Missing:
            return true;
        case ReadResult::NotRegular:
            return false;
        case ReadResult::Unreadable:
        case ReadResult::TooBig:
        case ReadResult::TooManyRows:
        case ReadResult::OutOfMemory:
            break;
    }
    if (!backup_.empty()) return true;
    std::optional<std::string> moved = moveAsideToBackup(path_);
    if (!moved) {
        struct stat st {};
        return ::lstat(path_.c_str(), &st) != 0 && errno == ENOENT;  // gone: nothing to keep
    }
    backup_ = *moved;
    return true;
}
