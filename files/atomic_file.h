#pragma once
// Whole-file reads and crash-safe whole-file writes, for every file the program keeps. A write
// goes to a temporary file in the target's folder, is flushed to disk and renamed over the target,
// so the target holds either its old or its new content, never a mix; a failure at any step
// (a full disk included) leaves the old file and reports false. A target that is the user's own
// symbolic link is written through to the file it names; temporary files left by a killed write
// are removed by the next one. Plain C++: the table library writes its files with it too.
#include <optional>
#include <string>
#include <string_view>

// What a read of a file found.
enum class ReadResult {
    Read,         // the whole file is in `data`
    Missing,      // no such file
    NotRegular,   // a FIFO, device, folder or socket: never opened for reading, left as it is
    Unreadable,   // it exists but cannot be opened or read (no permission, an I/O error)
    TooBig,       // larger than the limit in bytes
    TooManyRows,  // more rows than the limit (a list the window could not hold)
    OutOfMemory,  // the memory ran out while it was read or taken apart
};
struct FileRead {
    ReadResult result = ReadResult::Missing;
    std::string data;
};
// Reads a regular file of at most `limit` bytes. The open never blocks (a FIFO in the file's
// place would hold the program before any window), and nothing that is not a regular file is
// read: /dev/zero behind a link would fill the memory.
FileRead readRegularFile(const std::string& path, size_t limit);
// The whole regular file; nothing for any other outcome.
std::optional<std::string> readWholeFile(const std::string& path);

// Moves the file aside to the first free name of path.bak, path.bak.1, path.bak.2, … without
// replacing any, so an older backup survives too. A rename needs only the folder, whatever the
// file's size or mode. The name it now has, or nothing when it could not be moved.
std::optional<std::string> moveAsideToBackup(const std::string& path);
// The first free backup name for `path`, as above.
std::string freeBackupName(const std::string& path);
bool writeFileAtomically(const std::string& path, std::string_view data);
// Writes all of `data` to `fd`, again after an interruption; false on any error.
bool writeAll(int fd, std::string_view data);
// Makes the folder and any missing folders above it, each one it makes readable by the user
// alone (0700), as the per-user data and settings folders ought to be; an existing one is left
// as it is. False when it is not a folder afterwards.
bool makePrivateFolders(const std::string& path);
// Writes like a text-mode stream of the desktop the file kinds come from: an LF, also one inside
// a value, reaches the disk as CR LF, unless a CR already stands before it.
bool writeTextFileAtomically(const std::string& path, std::string_view text);
// The bytes writeTextFileAtomically puts on the disk for `text`.
std::string textFileBytes(std::string_view text);
