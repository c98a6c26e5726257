#pragma once
// Helpers shared by the tests: temporary folders and whole-file reads and writes.
#include <string>

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name = {}) const {
        return name.empty() ? path_ : path_ + "/" + name;
    }

private:
    std::string path_;
};
