// The MLB kind, a binary layout: "MLB", 2, 1, a byte-order mark (0 little-endian, else big-endian),
// three 16-bit header words, the byte count of the rest of the file, a 16-bit 0, the table name,
// the field and record counts, the typed field names and the records. Strings are a 32-bit length
// and that many bytes. Every length and count is checked against the bytes that remain, so a
// damaged file is refused rather than read out of bounds or allowed to allocate without limit.
#include <cstdint>

#include "files/atomic_file.h"
#include "table/mlb2.h"

namespace {

class Reader {
public:
    Reader(std::string_view data) : data_(data) {}
    void SetBigEndian(bool big) { big_ = big; }
    size_t Remaining() const { return data_.size() - pos_; }

    bool Bytes(size_t n, std::string_view& out) {
        if (n > Remaining()) return false;
        out = data_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    bool U8(uint8_t& v) {
        std::string_view b;
        if (!Bytes(1, b)) return false;
        v = static_cast<uint8_t>(b[0]);
        return true;
    }
    bool U16(uint16_t& v) {
        uint32_t w;
        if (!Uint(2, w)) return false;
        v = static_cast<uint16_t>(w);
        return true;
    }
    bool U32(uint32_t& v) { return Uint(4, v); }
    bool String(std::string& s) {
        uint32_t n;
        std::string_view b;
        if (!U32(n) || !Bytes(n, b)) return false;
        s.assign(b);
        return true;
    }

private:
    bool Uint(size_t n, uint32_t& v) {
        std::string_view b;
        if (!Bytes(n, b)) return false;
        v = 0;
        for (size_t i = 0; i < n; ++i) {
            uint32_t byte = static_cast<uint8_t>(b[big_ ? i : n - 1 - i]);
            v = (v << 8) | byte;
        }
        return true;
    }
    std::string_view data_;
    size_t pos_ = 0;
    bool big_ = false;
};

void PutU16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void PutU32At(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutU32(std::string& out, uint32_t v) {
    out.append(4, '\0');
    PutU32At(out, out.size() - 4, v);
}

void PutString(std::string& out, const std::string& s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out += s;
}

}  // namespace

bool TMlb2::LoadMLB(const std::string& path) {
    std::optional<std::string> data = readWholeFile(path);
    if (!data) return false;
    Reader r(*data);
    std::string_view magic;
    uint8_t ignored, mark;
    uint16_t w6, w8, w10, w16;
    if (!r.Bytes(3, magic) || magic != "MLB") return false;
    if (!r.U8(ignored) || !r.U8(ignored) || !r.U8(mark)) return false;
    r.SetBigEndian(mark != 0);
    if (!r.U16(w6) || !r.U16(w8) || !r.U16(w10) || w6 == 0 || w10 != 0) return false;

    uint32_t total, fields, records;
    if (!r.U32(total) || total != r.Remaining() || !r.U16(w16)) return false;
    TMlb2 t = FreshTable();
    if (!r.String(t.tableName_) || !r.U32(fields) || !r.U32(records)) return false;
    if (fields > r.Remaining() / 5) return false;  // a type byte and a length per field at least
    for (uint32_t i = 1; i <= fields; ++i) {
        uint8_t type;
        std::string name;
        if (!r.U8(type) || !r.String(name)) return false;
        t.AddField(name);
        t.SetFieldType(static_cast<int>(i), type == 1 ? "FLOAT" : "STRING");
    }
    if (records > r.Remaining() / (4 + 4 * static_cast<size_t>(fields))) return false;
    for (uint32_t n = 0; n < records; ++n) {
        uint32_t size;
        if (!r.U32(size) || size > r.Remaining()) return false;
        size_t before = r.Remaining();
        t.Append();
        t.Last();
        for (uint32_t i = 1; i <= fields; ++i) {
            std::string value;
            if (!r.String(value)) return false;
            t.SetValueAt(static_cast<int>(i), value);
        }
        if (before - r.Remaining() != size) return false;
    }
    if (r.Remaining() != 0) return false;
    *this = std::move(t);
    return true;
}

bool TMlb2::SaveMLB(const std::string& path) {
    std::string out("MLB\x02\x01\x00", 6);
    PutU16(out, 1);
    PutU16(out, 0);
    PutU16(out, 0);
    const size_t totalAt = out.size();
    PutU32(out, 0);
    PutU16(out, 0);
    PutString(out, tableName_);
    const int fields = FieldCount(), records = RecordCount();
    PutU32(out, static_cast<uint32_t>(fields));
    PutU32(out, static_cast<uint32_t>(records));
    for (int i = 1; i <= fields; ++i) {
        out += *GetFieldType(i) == "FLOAT" ? '\x01' : '\x00';
        PutString(out, *GetFieldName(i));
    }
    for (int n = 1; n <= records; ++n) {
        const size_t sizeAt = out.size();
        PutU32(out, 0);
        for (int i = 1; i <= fields; ++i) PutString(out, GetCell(i, n));
        PutU32At(out, sizeAt, static_cast<uint32_t>(out.size() - sizeAt - 4));
    }
    PutU32At(out, totalAt, static_cast<uint32_t>(out.size() - totalAt - 4));
    return writeFileAtomically(path, out);
}
