#pragma once
// The target list file: a TXT table with the fields IP and Name, texts in code page 932 on disk,
// or in UTF-8 when the file was found in UTF-8 (as Linux editors write it): a list whose bytes are
// valid UTF-8 and not plain ASCII, a byte order mark (kept) or none, is read and written in UTF-8.
// Names are converted from and to Unicode here and nowhere else.
// Nothing the file held is lost: when the list read at start would not be written back byte for
// byte (other fields, an unreadable tail, a byte order mark before code page 932), the first save
// of the run keeps a copy of the file as it was beside it as "iplist.txt.bak" (or .bak.1, .bak.2, …
// when that name is taken). A file that could not be read at all is moved to such a name before the
// first save; one that is no regular file is left alone and never saved over.
#include <QString>
#include <optional>

#include <string>
#include <vector>
#include "files/kept_file.h"

struct Target {
    QString ip;
    QString name;
    // The bytes read from the file, kept so that text which is not valid in the file's encoding
    // (shown with replacement characters) is written back exactly as it was found.
    std::optional<std::string> ipBytes;
    std::optional<std::string> nameBytes;
};

class TargetListFile {
public:
    // What the window can hold: a list at these limits shows within about a second and 210 MB
    // (bench/startup_bench.sh: 0.74 s and 202 MB for 100,000 rows in 7.6 MB). A larger one is
    // refused at start and kept, like a file that cannot be read.
    static constexpr size_t kRowLimit = 100'000;
    static constexpr size_t kSizeLimit = 8u << 20;

    explicit TargetListFile(QString path);
    // Where the list lives: iplist.txt in the working folder. A program whose settings are kept
    // per user (an installed one) started in the home folder, as a menu starts it, keeps the
    // home folder clean: its list lives in $XDG_DATA_HOME/pingrove/ (else ~/.local/share/
    // pingrove/), unless a ~/iplist.txt of an earlier version is there, which stays in use.
    static QString locate(const QString& workingFolder, const QString& home,
                          const QString& dataHome, bool perUser);
    // Records in file order; a missing file, or one that cannot be read (startResult() tells),
    // gives no targets. The fields are found by their names, "IP" and "Name", or failing that by
    // the same names in any ASCII case.
    std::vector<Target> load();
    ReadResult startResult() const { return kept_.startResult(); }
    // The rows could not be held after all (the memory ran out while the window built them):
    // the file is kept at the first save like one that could not be read.
    void notHeld();
    // Replaces the file as a whole; false when it (or the backup it first needs) cannot be
    // written, with failedPath() naming the file.
    bool save(const std::vector<Target>& targets);
    const QString& path() const { return path_; }
    // Where a save of this run kept the file as it was at start, or empty: a copy of a list with
    // more than the list shows, or the original that could not be read.
    const QString& backupPath() const { return backupPath_; }
    bool backupWritten() const { return !backupPath_.isEmpty(); }
    const QString& failedPath() const { return failedPath_; }

private:
    QString path_;
    KeptFile kept_;
    QString failedPath_;
    QString backupPath_;
    // The file as read at start, while a save would not give it back unchanged.
    std::optional<std::string> unsavedStart_;
    // How the file read at start was encoded; a new list is written in code page 932.
    bool utf8_ = false;
    bool byteOrderMark_ = false;

    QString text(const std::string* value) const;
    std::string bytes(const QString& text, const std::optional<std::string>& original) const;
    // The whole file for these targets, in the list's encoding.
    std::string fileBytes(const std::vector<Target>& targets) const;
};
