#pragma once
// The target list file: a TXT table with the fields IP and Name, texts in code page 932 on disk.
// Names are converted from and to Unicode here and nowhere else.
// Nothing the file held is lost: when the list read at start would not be written back byte for
// byte (other fields, an unreadable tail, a byte order mark), the first save of the run keeps the
// file as it was beside it as "iplist.txt.bak".
#include <QString>
#include <optional>
#include <string>
#include <vector>

struct Target {
    QString ip;
    QString name;
    // The bytes read from the file, kept so that text which is not valid code page 932 (shown
    // with replacement characters) is written back exactly as it was found.
    std::optional<std::string> ipBytes;
    std::optional<std::string> nameBytes;
};

class TargetListFile {
public:
    explicit TargetListFile(QString path) : path_(std::move(path)) {}
    // Records in file order; a missing or unreadable file gives no targets. The fields are
    // found by their names, "IP" and "Name", or failing that by the same names in any ASCII case.
    std::vector<Target> Load();
    // Replaces the file as a whole; false when it (or the backup it first needs) cannot be
    // written, with FailedPath() naming the file.
    bool Save(const std::vector<Target>& targets);
    const QString& Path() const { return path_; }
    QString BackupPath() const { return path_ + QStringLiteral(".bak"); }
    // Whether a save of this run has kept the file as read at start in BackupPath().
    bool BackupWritten() const { return backupWritten_; }
    const QString& FailedPath() const { return failedPath_; }

private:
    QString path_;
    QString failedPath_;
    // The file as read at start, while a save would not give it back unchanged.
    std::optional<std::string> unsavedStart_;
    bool backupWritten_ = false;
};
