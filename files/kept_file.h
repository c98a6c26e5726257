#pragma once
// A file the program reads at start and replaces when it closes. Nothing the user had is lost on
// the way: a file that was there but could not be read in full (no permission, too big) is moved
// aside to a numbered backup before its first replacement, and what is no regular file at all (a
// FIFO, a device, a folder) is never read, replaced or moved. Plain C++.
#include <cstddef>
#include <string>

#include "files/atomic_file.h"

class KeptFile {
public:
    // Larger than any file the program writes could become; the limit keeps a stray giant from
    // filling the memory.
    static constexpr size_t kSizeLimit = 64u << 20;

    explicit KeptFile(std::string path, size_t sizeLimit = kSizeLimit)
        : path_(std::move(path)), sizeLimit_(sizeLimit) {}
    // The read at start; the outcome is remembered for the replacement.
    FileRead load();
    // Call before each replacement. True when the file may be replaced now: an unread original
    // has been moved aside (once). False when it is no regular file or could not be moved.
    bool prepareReplacement();
    ReadResult startResult() const { return start_; }
    // What was read could not be held after all (too many rows, or the memory ran out while it
    // was taken apart): kept aside like a file that could not be read.
    void startNotHeld(ReadResult why) { start_ = why; }
    size_t sizeLimit() const { return sizeLimit_; }
    // Where an unread original went, once it was moved; empty before.
    const std::string& backup() const { return backup_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    size_t sizeLimit_;
    ReadResult start_ = ReadResult::Missing;
    std::string backup_;
};
