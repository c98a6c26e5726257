// The CSV kind: names and values joined by the separator; values escape LF, the backslash and the
// separator with a backslash. Reading drops every CR and stops at the first 0x1A byte.
#include "files/atomic_file.h"
#include "table/mlb2.h"

namespace {

std::string UnescapeName(const std::string& s, char separator) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char d = s[i + 1];
            if (d == 'n') {
                out += '\n';
                ++i;
                continue;
            }
            if (d == separator || d == '\\') {
                out += d;
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

void AppendEscaped(std::string& out, const std::string& v, char separator) {
    for (char c : v) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\\' || c == separator) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
}

}  // namespace

bool TMlb2::LoadCSV(const std::string& path) {
    std::optional<std::string> raw = readWholeFile(path);
    if (!raw) return false;
    std::string data;
    data.reserve(raw->size());
    std::string_view text(*raw);
    // Windows editors put a UTF-8 byte order mark before the header; it is no part of a name.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    for (char c : text) {
        if (c == '\x1a') break;
        if (c != '\r') data += c;
    }
    raw.reset();

    TMlb2 t = FreshTable();
    t.tableName_ = NameFromPath(path);
    const char sep = separator_;
    size_t pos = 0;
    std::string cur;
    bool headerEnded = false;
    while (pos < data.size()) {
        char c = data[pos++];
        if (c == sep || c == '\n') {
            t.AddField(UnescapeName(cur, sep));
            cur.clear();
            if (c == '\n') {
                headerEnded = true;
                break;
            }
        } else {
            cur += c;
        }
    }
    if (!headerEnded) {
        // A header line without a line end still names its last field.
        if (!data.empty()) t.AddField(UnescapeName(cur, sep));
        *this = std::move(t);
        return true;
    }

    while (pos < data.size()) {
        t.Append();
        t.Last();
        int field = 0;
        cur.clear();
        for (;;) {
            if (pos >= data.size()) {  // a last line without a line end keeps its last value
                t.SetValueAt(++field, cur);
                break;
            }
            char c = data[pos++];
            if (c == '\\') {
                if (pos < data.size()) {
                    char d = data[pos++];
                    cur += (d == 'n' || d == 'N') ? '\n' : d;
                } else {
                    cur += '\\';
                }
            } else if (c == sep || c == '\n') {
                t.SetValueAt(++field, cur);
                cur.clear();
                if (c == '\n') break;
            } else {
                cur += c;
            }
        }
    }
    *this = std::move(t);
    return true;
}

bool TMlb2::SaveCSV(const std::string& path) {
    const int fields = FieldCount();
    const char sep = separator_;
    std::string out;
    for (int i = 1; i <= fields; ++i) {
        out += *GetFieldName(i);
        if (i < fields) out += sep;
    }
    out += "\n";
    for (int n = 1; n <= RecordCount(); ++n) {
        for (int i = 1; i <= fields; ++i) {
            AppendEscaped(out, GetCell(i, n), sep);
            if (i < fields) out += sep;
        }
        out += "\n";
    }
    return writeTextFileAtomically(path, out);
}
