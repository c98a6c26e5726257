#include "settings/target_list_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>
#include <string_view>

#include "files/atomic_file.h"
#include "settings/ascii_text.h"
#include "settings/cp932.h"
#include "table/mlb2.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Whether the bytes are UTF-8 as Unicode defines it (no overlong forms, no surrogates, nothing
// beyond U+10FFFF), so that their text gives the same bytes back, and not plain ASCII.
bool IsUtf8Beyond7Bits(std::string_view data) {
    bool beyond = false;
    for (size_t i = 0; i < data.size();) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(data[k]); };
        const unsigned char lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        beyond = true;
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + length > data.size() || byte(i + 1) < low || byte(i + 1) > high) return false;
        for (size_t k = 2; k < length; ++k)
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return false;
        i += length;
    }
    return beyond;
}

// The field named exactly `name`, else the first whose name differs only in ASCII case; 0 if none.
int FieldIndex(const TMlb2& t, const std::string& name) {
    for (int i = 1; i <= t.FieldCount(); ++i)
        if (*t.GetFieldName(i) == name) return i;
    for (int i = 1; i <= t.FieldCount(); ++i)
        if (sameIgnoringAsciiCase(*t.GetFieldName(i), name)) return i;
    return 0;
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

QString TargetListFile::text(const std::string* value) const {
    if (!value) return QString();
    return utf8_ ? QString::fromUtf8(value->data(), static_cast<qsizetype>(value->size()))
                 : cp932::decode(*value);
}

std::string TargetListFile::bytes(const QString& text,
                                  const std::optional<std::string>& original) const {
    if (original && this->text(&*original) == text) return *original;
    if (utf8_) return text.toUtf8().toStdString();
    if (auto b = cp932::encode(text)) return *b;
    return text.toUtf8().toStdString();  // no code page 932 form: better its UTF-8 than nothing
}

std::string TargetListFile::fileBytes(const std::vector<Target>& targets) const {
    TMlb2 t;
    t.Clear();
    t.AddField("IP");
    t.AddField("Name");
    for (const Target& target : targets) {
        t.Append();
        t.Next();
        t.SetValueAt(1, bytes(target.ip, target.ipBytes));
        t.SetValueAt(2, bytes(target.name, target.nameBytes));
    }
    return byteOrderMark_ ? std::string(kByteOrderMark) + t.TXTBytes() : t.TXTBytes();
}

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
    utf8_ = byteOrderMark_ = false;
    std::vector<Target> out;
    FileRead start = kept_.load();
    if (start.result != ReadResult::Read) return out;
    // Code page 932 text is hardly ever valid UTF-8 (its kana and most kanji begin with bytes
    // that UTF-8 never begins with), while UTF-8 Japanese mostly reads as code page 932, garbled:
    // so valid UTF-8 decides. A list that is both is written back byte for byte either way.
    const bool byteOrderMark = std::string_view(start.data).substr(0, 3) == kByteOrderMark;
    utf8_ = IsUtf8Beyond7Bits(start.data);
    byteOrderMark_ = utf8_ && byteOrderMark;
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
            Target target{text(ip), text(name), std::nullopt, std::nullopt};
            // UTF-8 text gives its bytes back; code page 932 bytes are kept, since the list
            // sorts by them and they may be no valid code page 932.
            if (ip && (!utf8_ || target.ip.toUtf8().toStdString() != *ip)) target.ipBytes = *ip;
            if (name && (!utf8_ || target.name.toUtf8().toStdString() != *name))
                target.nameBytes = *name;
            out.push_back(std::move(target));
            t.Next();
        }
        if (fileBytes(out) != start.data) unsavedStart_ = std::move(start.data);
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
    if (!writeFileAtomically(Native(path_), fileBytes(targets))) {
        failedPath_ = path_;
        return false;
    }
    return true;
}
