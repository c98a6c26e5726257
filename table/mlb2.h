#pragma once
// TMlb2 keeps one table in memory: named fields with a type text ("STRING" or "FLOAT", a tag only),
// records of byte-string values, and a current-record cursor with an Eof flag. It reads and writes
// whole tables as TXT, CSV or MLB files, chosen by the last three characters of the path.
// Nothing throws: failures are false results and null texts. Values are never converted.
#include <string>
#include <string_view>

#include "table/mlb_list.h"
#include "table/mlb_string_list.h"

class TMlb2 {
public:
    TMlb2();

    void Clear();
    void AddField(std::string_view name);
    bool SetFieldType(int i, std::string_view type);
    const std::string* GetFieldType(int i) const { return types_.Get(i); }
    const std::string* GetFieldName(int i) const { return names_.Get(i); }
    int FieldCount() const { return names_.Count(); }
    int RecordCount() const { return records_.Count(); }
    bool IsEmpty() const { return records_.IsEmpty(); }

    void Append();
    bool MoveTo(int n);
    bool Last();
    bool Next();

    // Null when there is no current record, no such field, or the value is absent.
    const std::string* GetValue(std::string_view name) const;
    bool SetValue(std::string_view name, std::string_view text);
    const std::string* GetValueAt(int i) const;
    bool SetValueAt(int i, std::string_view text);
    // Moves to record n first; "" when that fails, i is out of range or the value is absent.
    std::string GetCell(int i, int n);

    bool LoadFromFile(const std::string& path);
    bool SaveToFile(const std::string& path);
    bool LoadTXT(const std::string& path);
    // LoadTXT over bytes already in memory, for a caller that keeps them too.
    void ParseTXT(std::string_view data, std::string tableName);
    bool SaveTXT(const std::string& path);
    // The bytes SaveTXT writes.
    std::string TXTBytes();
    bool LoadCSV(const std::string& path);
    bool SaveCSV(const std::string& path);
    bool LoadMLB(const std::string& path);
    bool SaveMLB(const std::string& path);

    int CurrentRecord() const { return current_; }
    bool Eof() const { return eof_; }
    const std::string& TableName() const { return tableName_; }
    void SetTableName(std::string name) { tableName_ = std::move(name); }
    char Separator() const { return separator_; }
    char QuoteChar() const { return quoteChar_; }

    // The file name of a path without its folder and extension; '/', '\\' and ':' end folders.
    static std::string NameFromPath(std::string_view path);

private:
    enum class Kind { Txt, Csv, Mlb };
    static Kind KindOf(std::string_view path);
    TMLBStringList* CurrentRow() const { return records_.Get(current_); }
    TMlb2 FreshTable() const;

    TMLBStringList names_;
    TMLBStringList types_;
    TMLBList records_;
    int current_ = 0;
    char separator_ = ';';
    char quoteChar_ = '"';
    bool eof_ = true;
    std::string tableName_;
};
