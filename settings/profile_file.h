#pragma once
// Profile (INI) files: sections in square brackets, key=value lines. Reading takes one value with a
// default; writing changes the given keys and keeps every other section, key, comment and line as
// it was. Each write replaces the whole file at once (a temporary file flushed to disk and renamed
// over it), so the file holds either the old values or all the new ones.
#include <QString>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IProfileFile {
public:
    virtual ~IProfileFile() = default;
    // At most 2047 characters; `def` when the file, section or key is missing.
    virtual QString readString(const QString& section, const QString& key, const QString& def) = 0;
    // False when the file cannot be written; then it keeps its old content.
    virtual bool writeStrings(const QString& section,
                              const std::vector<std::pair<QString, QString>>& values) = 0;
    bool writeString(const QString& section, const QString& key, const QString& value) {
        return writeStrings(section, {{key, value}});
    }
};

// An INI file. Section and key names compare without regard to ASCII case. Lines the program
// does not write are kept byte for byte; only the values it reads are decoded (UTF-8, else code
// page 932), and the values it writes are UTF-8.
class IniProfileFile : public IProfileFile {
public:
    explicit IniProfileFile(QString path) : path_(std::move(path)) {}
    QString readString(const QString& section, const QString& key, const QString& def) override;
    bool writeStrings(const QString& section,
                      const std::vector<std::pair<QString, QString>>& values) override;
    const QString& path() const { return path_; }
    // One value out of a file's bytes already read, by the same rules as readString.
    static QString valueIn(std::string_view data, const QString& section, const QString& key,
                           const QString& def);
    // Several values in one pass over the bytes, so that reading all of a program's keys takes
    // time in proportion to the file's size: each of `keys` found in `section` maps to its value,
    // by the same rules as readString; keys not found are left out.
    static std::map<QString, QString> valuesIn(std::string_view data, const QString& section,
                                               const std::vector<QString>& keys);

private:
    QString path_;
};
