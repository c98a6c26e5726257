#include "settings/target_list_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

#include "files/atomic_file.h"
#include "settings/ascii_text.h"
#include "settings/cp932.h"
#include "table/mlb2.h"

namespace {

QString Text(const std::string* value) {
    return value ? cp932::decode(*value) : QString();
}

std::string Bytes(const QString& text, const std::optional<std::string>& original) {
    if (original && cp932::decode(*original) == text) return *original;
    if (auto b = cp932::encode(text)) return *b;
    return text.toUtf8().toStdString();  // no code page 932 form: better its UTF-8 than nothing
}

// The field named exactly `name`, else the first whose name differs only in ASCII case; 0 if none.
int FieldIndex(const TMlb2& t, const std::string& name) {
    for (int i = 1; i <= t.FieldCount(); ++i)
        if (*t.GetFieldName(i) == name) return i;
    for (int i = 1; i <= t.FieldCount(); ++i)
        if (sameIgnoringAsciiCase(*t.GetFieldName(i), name)) return i;
    return 0;
}

TMlb2 TableOf(const std::vector<Target>& targets) {
    TMlb2 t;
    t.Clear();
    t.AddField("IP");
    t.AddField("Name");
    for (const Target& target : targets) {
        t.Append();
        t.Next();
        t.SetValueAt(1, Bytes(target.ip, target.ipBytes));
        t.SetValueAt(2, Bytes(target.name, target.nameBytes));
    }
    return t;
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The line ends outside quotes: every one after the header's ends a record, so a file with more
// than the limit plus one has too many rows, and that is known before anything is built. A quote
// opens or closes a quoted value; a doubled one inside opens and closes, which changes nothing.
size_t RecordEnds(const std::string& data) {
    size_t ends = 0;
    bool quoted = false;
    for (char c : data) {
        if (c == '"') quoted = !quoted;
        if (c == '\n' && !quoted) ++ends;
    }
    return ends;
}

}  // namespace

TargetListFile::TargetListFile(QString path)
    : path_(std::move(path)), kept_(Native(path_), kSizeLimit) {}

QString TargetListFile::locate(const QString& workingFolder, const QString& home,
                               const QString& dataHome, bool perUser) {
    const QString here = QDir(workingFolder).absoluteFilePath(QStringLiteral("iplist.txt"));
    const auto same = [](const QString& a, const QString& b) {
        const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
        return ca.isEmpty() ? QDir::cleanPath(a) == QDir::cleanPath(b) : ca == cb;
    };
    if (!perUser || !same(workingFolder, home) || QFileInfo::exists(here)) return here;
    const QString base = !dataHome.isEmpty() && QDir::isAbsolutePath(dataHome)
                             ? dataHome
                             : home + QStringLiteral("/.local/share");
    return base + QStringLiteral("/pingrove/iplist.txt");
}

void TargetListFile::notHeld() {
    unsavedStart_.reset();
    kept_.startNotHeld(ReadResult::OutOfMemory);
}

std::vector<Target> TargetListFile::load() {
    unsavedStart_.reset();
    std::vector<Target> out;
    FileRead start = kept_.load();
    if (start.result != ReadResult::Read) return out;
    if (RecordEnds(start.data) > kRowLimit + 1) {
        kept_.startNotHeld(ReadResult::TooManyRows);
        return out;
    }
    try {
        TMlb2 t;
        t.ParseTXT(start.data, TMlb2::NameFromPath(Native(path_)));
        if (static_cast<size_t>(t.RecordCount()) > kRowLimit) {
            kept_.startNotHeld(ReadResult::TooManyRows);
            return out;
        }
        const int ipField = FieldIndex(t, "IP");
        const int nameField = FieldIndex(t, "Name");
        t.MoveTo(1);
        while (!t.Eof()) {
            const std::string* ip = ipField ? t.GetValueAt(ipField) : nullptr;
            const std::string* name = nameField ? t.GetValueAt(nameField) : nullptr;
            Target target{Text(ip), Text(name), std::nullopt, std::nullopt};
            if (ip) target.ipBytes = *ip;
            if (name) target.nameBytes = *name;
            out.push_back(std::move(target));
            t.Next();
        }
        if (TableOf(out).TXTBytes() != start.data) unsavedStart_ = std::move(start.data);
    } catch (const std::bad_alloc&) {
        // Too much to hold: as a file that could not be read, it is kept aside at the first save.
        out = std::vector<Target>();
        notHeld();
    }
    return out;
}

bool TargetListFile::save(const std::vector<Target>& targets) {
    failedPath_.clear();
    // The per-user folder, the first time.
    makePrivateFolders(QFile::encodeName(QFileInfo(path_).absolutePath()).toStdString());
    if (!kept_.prepareReplacement()) {
        failedPath_ = path_;
        return false;
    }
    if (!kept_.backup().empty()) backupPath_ = QFile::decodeName(kept_.backup().c_str());
    if (unsavedStart_ && backupPath_.isEmpty()) {
        const std::string backup = freeBackupName(Native(path_));
        if (!writeFileAtomically(backup, *unsavedStart_)) {
            failedPath_ = QFile::decodeName(backup.c_str());
            return false;
        }
        backupPath_ = QFile::decodeName(backup.c_str());
        unsavedStart_.reset();
    }
    if (!TableOf(targets).SaveToFile(Native(path_))) {
        failedPath_ = path_;
        return false;
    }
    return true;
}
