#pragma once
// A file that grows by whole lines, one event each, as a history is kept: each line is appended
// and flushed to the disk before the call returns, so a crash loses at most the line being
// written. A line torn by a kill mid-write is never a reason to lose the file: the next line
// starts on a line of its own after it. A new file begins with its header; at `rotateAt` bytes
// the file is renamed to NAME.1 (replacing the older one) and a new one begins. The file is opened
// for each line without following a symbolic link. Plain C++.
#include <cstddef>
#include <string>
#include <string_view>

class AppendLog {
public:
    AppendLog(std::string path, std::string header, size_t rotateAt);
    // False when the line could not be written whole (the folder is missing or read-only, the
    // disk is full, a link stands in the file's place).
    bool append(std::string_view line);
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string header_;
    size_t rotateAt_;
};
