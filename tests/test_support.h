#pragma once
// Helpers shared by the tests: temporary folders and whole-file reads and writes.
#include <functional>
#include <optional>
#include <string>

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name = {}) const {
        return name.empty() ? path_ : path_ + "/" + name;
    }

private:
    std::string path_;
};

// Runs `body` in a child process as an ordinary user ("nobody" when we are root, who may read and
// write everything) with `dir` opened to it. The body's result; false when the child died.
bool AsOrdinaryUser(const std::string& dir, const std::function<bool()>& body);

// Runs `body` with the process's file-size limit at `bytes` (SIGXFSZ ignored), as a full disk
// would stop a write, and gives its result.
bool WithFileSizeLimit(unsigned long bytes, const std::function<bool()>& body);

// Sets the process's local time zone (a name as TZ takes it, "Asia/Tokyo") for its lifetime:
// local times are checked where the users are, not only in the build machines' UTC.
struct LocalZone {
    explicit LocalZone(const char* zone);
    ~LocalZone();
    std::optional<std::string> before;
};
