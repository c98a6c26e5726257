#include "settings/profile_file.h"

#include <QFile>
#include <QStringDecoder>
#include <string>
#include <string_view>

#include "files/atomic_file.h"
#include "files/kept_file.h"
#include "settings/ascii_text.h"
#include "settings/cp932.h"

namespace {

// The file as byte lines, each without its LF but with a CR it may carry, so that every line the
// program does not own goes back to the disk exactly as it came.
struct Lines {
    std::vector<std::string> lines;
    std::string eol = "\n";
    bool finalEol = true;
};

Lines LinesOf(const std::string* data) {
    Lines out;
    if (!data || data->empty()) return out;
    if (data->find("\r\n") != std::string::npos) out.eol = "\r\n";
    size_t begin = 0;
    while (begin < data->size()) {
        size_t lf = data->find('\n', begin);
        if (lf == std::string::npos) {
            out.lines.push_back(data->substr(begin));
            out.finalEol = false;
            break;
        }
        out.lines.push_back(data->substr(begin, lf - begin));
        begin = lf + 1;
    }
    return out;
}

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The section name of a "[name]" line; false for other lines.
bool SectionOf(std::string_view line, std::string_view* name) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    *name = Trim(t.substr(1, t.size() - 2));
    return true;
}

bool IsComment(std::string_view line) {
    std::string_view t = Trim(line);
    return t.empty() || t.front() == ';' || t.front() == '#';
}

bool IsKeyLine(std::string_view line, std::string_view key, std::string_view* value) {
    if (IsComment(line)) return false;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || !sameIgnoringAsciiCase(Trim(line.substr(0, eq)), key))
        return false;
    if (value) *value = Trim(line.substr(eq + 1));
    return true;
}

// Values this program wrote are UTF-8; one brought over from a Windows desktop is code page 932.
QString DecodeValue(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) return text;
    return cp932::decode(bytes);
}

}  // namespace

QString IniProfileFile::readString(const QString& section, const QString& key, const QString& def) {
    return valueIn(readWholeFile(QFile::encodeName(path_).toStdString()).value_or(std::string()),
                   section, key, def);
}

QString IniProfileFile::valueIn(std::string_view data, const QString& section, const QString& key,
                                const QString& def) {
    const std::map<QString, QString> found = valuesIn(data, section, {key});
    return found.empty() ? def : found.begin()->second;
}

std::map<QString, QString> IniProfileFile::valuesIn(std::string_view data, const QString& section,
                                                    const std::vector<QString>& keys) {
    const std::string sectionBytes = section.toStdString();
    std::vector<std::string> keyBytes;
    for (const QString& k : keys) keyBytes.push_back(k.toStdString());
    std::vector<bool> seen(keys.size(), false);
    std::map<QString, QString> out;
    bool inSection = false;
    // The lines are looked at where they lie: nothing is copied but the values asked for.
    while (!data.empty() && out.size() < keys.size()) {
        const size_t lf = data.find('\n');
        const std::string_view line = data.substr(0, lf);
        data.remove_prefix(lf == std::string_view::npos ? data.size() : lf + 1);
        std::string_view name, value;
        if (SectionOf(line, &name)) {
            inSection = sameIgnoringAsciiCase(name, sectionBytes);
            continue;
        }
        if (!inSection) continue;
        for (size_t i = 0; i < keyBytes.size(); ++i) {
            if (seen[i] || !IsKeyLine(line, keyBytes[i], &value)) continue;
            seen[i] = true;
            out.emplace(keys[i], DecodeValue(value).left(2047));
        }
    }
    return out;
}

bool IniProfileFile::writeStrings(const QString& section,
                                  const std::vector<std::pair<QString, QString>>& values) {
    // What is there is merged into; a file that is there but cannot be read in full is not
    // written over, or everything else it held would be lost.
    FileRead old = readRegularFile(QFile::encodeName(path_).toStdString(), KeptFile::kSizeLimit);
    if (old.result != ReadResult::Read && old.result != ReadResult::Missing) return false;
    Lines file = LinesOf(&old.data);
    std::vector<std::string>& lines = file.lines;
    const std::string sectionBytes = section.toStdString();
    size_t begin = lines.size(), end = lines.size();  // the section's lines are (begin, end)
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (!SectionOf(lines[i], &name)) continue;
        if (begin < lines.size()) {
            end = i;
            break;
        }
        if (sameIgnoringAsciiCase(name, sectionBytes)) begin = i;
    }
    if (begin == lines.size()) {
        // A last line without its line end gets one before the new section.
        file.finalEol = true;
        lines.push_back("[" + sectionBytes + "]");
        begin = lines.size() - 1;
        end = lines.size();
    }
    const std::string cr = file.eol == "\r\n" ? "\r" : "";
    for (const auto& [key, value] : values) {
        const std::string keyBytes = key.toStdString();
        const std::string line = keyBytes + "=" + value.toStdString();
        bool replaced = false;
        for (size_t i = begin + 1; i < end && !replaced; ++i) {
            if (IsKeyLine(lines[i], keyBytes, nullptr)) {
                const bool hadCr = !lines[i].empty() && lines[i].back() == '\r';
                lines[i] = line + (hadCr ? "\r" : "");
                replaced = true;
            }
        }
        if (replaced) continue;
        size_t at = end;  // after the section's last non-blank line
        while (at > begin + 1 && Trim(lines[at - 1]).empty()) --at;
        if (at == lines.size()) file.finalEol = true;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line + cr);
        ++end;
    }
    std::string bytes;
    for (size_t i = 0; i < lines.size(); ++i) {
        bytes += lines[i];
        if (i + 1 < lines.size() || file.finalEol) bytes += '\n';
    }
    return writeFileAtomically(QFile::encodeName(path_).toStdString(), bytes);
}
