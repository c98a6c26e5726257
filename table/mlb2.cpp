#include "table/mlb2.h"

#include <cctype>

TMlb2::TMlb2() {
    Clear();
}

void TMlb2::Clear() {
    names_.Clear();
    types_.Clear();
    records_.Clear();
    current_ = 0;
    eof_ = true;
}

void TMlb2::AddField(std::string_view name) {
    names_.Add(std::string(name));
    types_.Add(std::string("STRING"));
    for (int n = 1; n <= records_.Count(); ++n) records_.Get(n)->Resize(FieldCount());
}

bool TMlb2::SetFieldType(int i, std::string_view type) {
    return types_.Set(i, std::string(type));
}

void TMlb2::Append() {
    TMLBStringList* row = records_.Add();
    row->Resize(FieldCount());
}

bool TMlb2::MoveTo(int n) {
    if (n < 1 || n > RecordCount()) {
        eof_ = true;
        return false;
    }
    current_ = n;
    eof_ = false;
    return true;
}

bool TMlb2::Last() {
    if (IsEmpty()) {
        eof_ = true;
        return false;
    }
    return MoveTo(RecordCount());
}

bool TMlb2::Next() {
    if (IsEmpty() || current_ >= RecordCount()) {
        eof_ = true;
        return false;
    }
    return MoveTo(current_ + 1);
}

const std::string* TMlb2::GetValueAt(int i) const {
    const TMLBStringList* row = CurrentRow();
    return row ? row->Get(i) : nullptr;
}

bool TMlb2::SetValueAt(int i, std::string_view text) {
    TMLBStringList* row = CurrentRow();
    return row && row->Set(i, std::string(text));
}

const std::string* TMlb2::GetValue(std::string_view name) const {
    int i = names_.IndexOf(name);
    return i ? GetValueAt(i) : nullptr;
}

bool TMlb2::SetValue(std::string_view name, std::string_view text) {
    int i = names_.IndexOf(name);
    return i && SetValueAt(i, text);
}

std::string TMlb2::GetCell(int i, int n) {
    if (!MoveTo(n)) return {};
    const std::string* v = GetValueAt(i);
    return v ? *v : std::string();
}

std::string TMlb2::NameFromPath(std::string_view path) {
    size_t slash = path.find_last_of(":\\/");
    std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = file.rfind('.');
    return std::string(dot == std::string_view::npos ? file : file.substr(0, dot));
}

TMlb2::Kind TMlb2::KindOf(std::string_view path) {
    if (path.size() < 3) return Kind::Csv;
    std::string last(path.substr(path.size() - 3));
    for (char& c : last) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (last == "TXT") return Kind::Txt;
    if (last == "MLB") return Kind::Mlb;
    return Kind::Csv;
}

TMlb2 TMlb2::FreshTable() const {
    TMlb2 t;
    t.separator_ = separator_;
    t.quoteChar_ = quoteChar_;
    return t;
}

bool TMlb2::LoadFromFile(const std::string& path) {
    switch (KindOf(path)) {
        case Kind::Txt:
            return LoadTXT(path);
        case Kind::Mlb:
            return LoadMLB(path);
        case Kind::Csv:
            break;
    }
    return LoadCSV(path);
}

bool TMlb2::SaveToFile(const std::string& path) {
    switch (KindOf(path)) {
        case Kind::Txt:
            return SaveTXT(path);
        case Kind::Mlb:
            return SaveMLB(path);
        case Kind::Csv:
            break;
    }
    return SaveCSV(path);
}
