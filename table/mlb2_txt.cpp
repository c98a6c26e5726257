// The TXT kind: a header line of quoted field names, then one line per record; values of
// "STRING" fields are quoted with inner quotes doubled, other values are written bare.
#include <vector>

#include "files/atomic_file.h"
#include "table/mlb2.h"

namespace {

class TokenReader {
public:
    TokenReader(std::string_view data, char separator, char quote)
        : data_(data), separator_(separator), quote_(quote) {}

    bool AtEnd() const { return pos_ >= data_.size(); }

    // Reads one field. True when it ended with a terminator (the separator or LF, then in
    // Terminator()), false when the data ran out first. Spaces and CRs outside quotes vanish.
    bool ReadToken() {
        token_.clear();
        quoted_ = false;
        terminator_ = ' ';
        bool inQuotes = false;
        while (pos_ < data_.size()) {
            char c = data_[pos_++];
            if (inQuotes) {
                if (c != quote_) {
                    token_ += c;
                } else if (pos_ < data_.size() && data_[pos_] == quote_) {
                    token_ += quote_;
                    ++pos_;
                } else {
                    inQuotes = false;
                }
            } else if (c == quote_) {
                quoted_ = inQuotes = true;
            } else if (c == separator_ || c == '\n') {
                terminator_ = c;
                return true;
            } else if (c != ' ' && c != '\r') {
                token_ += c;
            }
        }
        return false;
    }

    const std::string& Token() const { return token_; }
    bool Quoted() const { return quoted_; }
    char Terminator() const { return terminator_; }

private:
    std::string_view data_;
    size_t pos_ = 0;
    char separator_, quote_;
    std::string token_;
    bool quoted_ = false;
    char terminator_ = ' ';
};

std::string DoubleQuotes(const std::string& value, char quote) {
    if (value.find(quote) == std::string::npos) return value;
    std::string out;
    out.reserve(value.size() + 8);
    for (char c : value) {
        out += c;
        if (c == quote) out += c;
    }
    return out;
}

}  // namespace

bool TMlb2::LoadTXT(const std::string& path) {
    std::optional<std::string> data = readWholeFile(path);
    if (!data) return false;
    ParseTXT(*data, NameFromPath(path));
    return true;
}

void TMlb2::ParseTXT(std::string_view data, std::string tableName) {
    TMlb2 t = FreshTable();
    t.tableName_ = std::move(tableName);
    std::string_view text(data);
    // Windows editors put a UTF-8 byte order mark before the header; it is no part of a name.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    TokenReader r(text, separator_, quoteChar_);

    for (;;) {
        bool ended = r.ReadToken();
        if (!r.Token().empty()) t.AddField(r.Token());
        if (!ended || r.Terminator() == '\n') break;
    }

    // A field comes back "FLOAT" when it held bare non-empty values and no quoted ones: the writer
    // quotes exactly the "STRING" fields, so written types survive wherever a value shows them.
    const int fields = t.FieldCount();
    std::vector<char> sawBare(fields + 1, 0), sawQuoted(fields + 1, 0);
    bool done = false;
    while (!done && !r.AtEnd()) {
        bool first = true;
        for (int i = 1;; ++i) {
            bool ended = r.ReadToken();
            // The line end after the last record leaves an empty token at the end of the data.
            // A last line without a line end still counts: it was typed by hand, not cut off.
            if (!ended && r.Token().empty() && !r.Quoted()) {
                done = true;
                break;
            }
            if (first) {
                t.Append();
                t.Last();
                first = false;
            }
            if (!r.Token().empty()) {
                t.SetValueAt(i, r.Token());
                if (i <= fields) (r.Quoted() ? sawQuoted : sawBare)[i] = 1;
            }
            if (!ended) {
                done = true;
                break;
            }
            if (r.Terminator() == '\n') break;
        }
    }
    for (int i = 1; i <= fields; ++i) {
        if (sawBare[i] && !sawQuoted[i]) t.SetFieldType(i, "FLOAT");
    }
    *this = std::move(t);
}

bool TMlb2::SaveTXT(const std::string& path) {
    return writeFileAtomically(path, TXTBytes());
}

std::string TMlb2::TXTBytes() {
    const int fields = FieldCount();
    const char q = quoteChar_, sep = separator_;
    std::string out;
    for (int i = 1; i <= fields; ++i) {
        out += q;
        out += *GetFieldName(i);
        out += q;
        if (i < fields) {
            out += sep;
        } else {
            out += "\n";
        }
    }
    std::vector<char> isString(fields + 1, 0);
    for (int i = 1; i <= fields; ++i) isString[i] = *GetFieldType(i) == "STRING";
    // A table with records but no fields has nothing to write on its record lines.
    const int records = fields ? RecordCount() : 0;
    for (int n = 1; n <= records; ++n) {
        for (int i = 1; i <= fields; ++i) {
            std::string v = DoubleQuotes(GetCell(i, n), q);
            if (isString[i]) {
                out += q;
                out += v;
                out += q;
                out += i < fields ? std::string(1, sep) : std::string("\n");
            } else {
                out += v;
                out += sep;
                if (i == fields) out += "\n";
            }
        }
    }
    return textFileBytes(out);
}
