#pragma once
// The target list file: a TXT table with the fields IP and Name, texts in code page 932 on disk.
// Names are converted from and to Unicode here and nowhere else.
#include <QString>
#include <optional>
#include <string>
#include <vector>

struct TTarget {
    QString ip;
    QString name;
    // The bytes read from the file, kept so that text which is not valid code page 932 (shown
    // with replacement characters) is written back exactly as it was found.
    std::optional<std::string> ipBytes;
    std::optional<std::string> nameBytes;
};

class TTargetListFile {
public:
    explicit TTargetListFile(QString path) : path_(std::move(path)) {}
    // Records in file order; a missing or unreadable file gives no targets.
    std::vector<TTarget> Load() const;
    // Replaces the file as a whole; false when it cannot be written.
    bool Save(const std::vector<TTarget>& targets) const;
    const QString& Path() const { return path_; }

private:
    QString path_;
};
