#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "table/mlb2.h"
#include "test_support.h"

namespace {

const std::string kHeader = "\"IP\";\"Name\"\r\n";

TMlb2 Load(const std::string& path) {
    TMlb2 t;
    EXPECT_TRUE(t.LoadFromFile(path));
    return t;
}

// A table of these fields and rows of values, the cursor on its last row.
TMlb2 Table(const std::vector<std::string>& fields,
            const std::vector<std::vector<std::string>>& rows) {
    TMlb2 t;
    for (const std::string& f : fields) t.AddField(f);
    for (const auto& row : rows) {
        t.Append();
        t.Next();
        for (size_t i = 0; i < row.size(); ++i) t.SetValue(fields[i], row[i]);
    }
    return t;
}

std::vector<std::vector<std::string>> Cells(TMlb2& t) {
    std::vector<std::vector<std::string>> out;
    for (int n = 1; n <= t.RecordCount(); ++n) {
        std::vector<std::string> row;
        for (int i = 1; i <= t.FieldCount(); ++i) row.push_back(t.GetCell(i, n));
        out.push_back(row);
    }
    return out;
}

class Formats : public ::testing::Test {
protected:
    TempDir dir;
    std::string File(const std::string& name, const std::string& bytes) {
        WriteFileBytes(dir.path(name), bytes);
        return dir.path(name);
    }
};

TEST_F(Formats, TxtWriterIsExactAndReadsBack) {
    TMlb2 t = Table({"IP", "Name"}, {{"10.0.0.1", "gw"}, {"10.0.0.2", "a\"b"}});
    ASSERT_TRUE(t.SaveToFile(dir.path("list.txt")));
    EXPECT_EQ(ReadFileBytes(dir.path("list.txt")),
              kHeader + "\"10.0.0.1\";\"gw\"\r\n\"10.0.0.2\";\"a\"\"b\"\r\n");
    TMlb2 back = Load(dir.path("list.txt"));
    EXPECT_EQ(back.TableName(), "list");
    EXPECT_EQ(Cells(back),
              (std::vector<std::vector<std::string>>{{"10.0.0.1", "gw"}, {"10.0.0.2", "a\"b"}}));
    EXPECT_EQ(*back.GetFieldType(1), "STRING");
    EXPECT_EQ(back.CurrentRecord(), 2);
}

TEST_F(Formats, KindFollowsTheLastThreeCharacters) {
    TMlb2 t = Table({"A"}, {{"v"}});
    for (const char* name : {"x.Txt", "x.tXt", "plainTXT"}) {
        ASSERT_TRUE(t.SaveToFile(dir.path(name)));
        EXPECT_EQ(ReadFileBytes(dir.path(name)), "\"A\"\r\n\"v\"\r\n") << name;
    }
    for (const char* name : {"x.xml", "data", "a"}) {
        ASSERT_TRUE(t.SaveToFile(dir.path(name)));
        EXPECT_EQ(ReadFileBytes(dir.path(name)), "A\r\nv\r\n") << name;
    }
    ASSERT_TRUE(t.SaveToFile(dir.path("x.mLb")));
    EXPECT_EQ(ReadFileBytes(dir.path("x.mLb")).substr(0, 3), "MLB");
}

TEST_F(Formats, TxtTokensSpacesQuotesAndRaggedLines) {
    std::string p = File("t.txt",
                         "\xEF\xBB\xBF"                   // a byte order mark is skipped
                         "\"A\";;\"B\"\r\n"               // an empty header token adds no field
                         "1 000;\" x;\r\ny \"\r\n"        // spaces vanish outside quotes only
                         "\"ab\"cd;\"e\"\"f\";extra\r\n"  // quotes reopen; extra values dropped
                         "only\r\n"                       // fewer values: the rest stay absent
                         "\r\n");                         // a blank line is a record
    TMlb2 t = Load(p);
    ASSERT_EQ(t.FieldCount(), 2);
    EXPECT_EQ(*t.GetFieldName(1), "A");
    ASSERT_EQ(t.RecordCount(), 4);
    EXPECT_EQ(t.GetCell(1, 1), "1000");
    EXPECT_EQ(t.GetCell(2, 1), " x;\r\ny ");
    EXPECT_EQ(t.GetCell(1, 2), "abcd");
    EXPECT_EQ(t.GetCell(2, 2), "e\"f");
    ASSERT_TRUE(t.MoveTo(3));
    EXPECT_EQ(t.GetValueAt(2), nullptr);
    ASSERT_TRUE(t.MoveTo(4));
    EXPECT_EQ(t.GetValueAt(1), nullptr);
}

TEST_F(Formats, TxtFloatFieldsKeepTheirTypeAndTrailingSeparator) {
    TMlb2 t;
    t.AddField("Name");
    t.AddField("Value");
    t.SetFieldType(2, "FLOAT");
    for (const char* v : {"1.5", "", "3"}) {
        t.Append();
        t.Next();
        t.SetValue("Name", "n");
        t.SetValue("Value", v);
    }
    ASSERT_TRUE(t.SaveTXT(dir.path("f.txt")));
    EXPECT_EQ(ReadFileBytes(dir.path("f.txt")),
              "\"Name\";\"Value\"\r\n\"n\";1.5;\r\n\"n\";;\r\n\"n\";3;\r\n");
    TMlb2 back = Load(dir.path("f.txt"));
    EXPECT_EQ(*back.GetFieldType(1), "STRING");
    EXPECT_EQ(*back.GetFieldType(2), "FLOAT");
    EXPECT_EQ(back.GetCell(2, 1), "1.5");
    EXPECT_EQ(back.GetCell(2, 3), "3");
    EXPECT_EQ(back.RecordCount(), 3);
}

TEST_F(Formats, TxtStringFieldsStaySTRINGEvenWhenEmptyOrNumeric) {
    std::string p = File("s.txt", kHeader + "\"1\";\"\"\r\n\"2\";\"\"\r\n");
    TMlb2 t = Load(p);
    EXPECT_EQ(*t.GetFieldType(1), "STRING");
    EXPECT_EQ(*t.GetFieldType(2), "STRING");
}

TEST_F(Formats, TxtLastLineWithoutLineEndIsKept) {
    TMlb2 t = Load(File("n.txt", kHeader + "\"10.0.0.1\";\"gw\"\r\n\"10.0.0.2\";\"last\""));
    ASSERT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.GetCell(2, 2), "last");
    TMlb2 h = Load(File("h.txt", "\"IP\";\"Name\""));
    EXPECT_EQ(h.FieldCount(), 2);
    EXPECT_EQ(h.RecordCount(), 0);
    TMlb2 one = Load(File("o.txt", kHeader + "solo"));
    ASSERT_EQ(one.RecordCount(), 1);
    EXPECT_EQ(one.GetCell(1, 1), "solo");
}

TEST_F(Formats, CsvEscapesRoundTripAndCrIsLost) {
    TMlb2 t = Table({"a", "b"}, {{"x;y\\z\nw", "c\rd"}});
    ASSERT_TRUE(t.SaveCSV(dir.path("e.csv")));
    EXPECT_EQ(ReadFileBytes(dir.path("e.csv")), "a;b\r\nx\\;y\\\\z\\nw;c\rd\r\n");
    TMlb2 back = Load(dir.path("e.csv"));
    EXPECT_EQ(back.GetCell(1, 1), "x;y\\z\nw");
    EXPECT_EQ(back.GetCell(2, 1), "cd");
}

TEST_F(Formats, CsvHandMadeFiles) {
    // A separator in a name splits it; \N is LF too; 0x1A ends the file; a trailing backslash
    // stays; a last line without its line end keeps its last value.
    TMlb2 t = Load(File("h.csv", "a\\;b;c\\n\n1\\N;\\q\n\nz;end\\\x1agarbage"));
    ASSERT_EQ(t.FieldCount(), 3);
    EXPECT_EQ(*t.GetFieldName(1), "a\\");
    EXPECT_EQ(*t.GetFieldName(3), "c\n");
    ASSERT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.GetCell(1, 1), "1\n");
    EXPECT_EQ(t.GetCell(2, 1), "q");
    EXPECT_EQ(t.GetCell(1, 2), "");
    EXPECT_EQ(t.GetCell(2, 3), "end\\");
    EXPECT_EQ(*t.GetFieldType(2), "STRING");

    TMlb2 noEnd = Load(File("n.csv", "IP;Name"));
    EXPECT_EQ(noEnd.FieldCount(), 2);
    TMlb2 empty = Load(File("z.csv", ""));
    EXPECT_EQ(empty.FieldCount(), 0);
}

TEST_F(Formats, MlbLayoutAndRoundTrip) {
    TMlb2 t;
    t.SetTableName("名前");
    t.AddField("S");
    t.AddField("F");
    t.SetFieldType(2, "FLOAT");
    t.Append();
    t.Next();
    t.SetValue("S", std::string("a\0b", 3));
    t.SetValue("F", "2.5");
    t.Append();
    ASSERT_TRUE(t.SaveToFile(dir.path("t.mlb")));
    std::string bytes = ReadFileBytes(dir.path("t.mlb"));
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(bytes.substr(0, 12), std::string("MLB\x02\x01\x00\x01\x00\x00\x00\x00\x00", 12));
    uint32_t total = static_cast<uint8_t>(bytes[12]) | static_cast<uint8_t>(bytes[13]) << 8 |
                     static_cast<uint8_t>(bytes[14]) << 16 |
                     static_cast<uint32_t>(static_cast<uint8_t>(bytes[15])) << 24;
    EXPECT_EQ(total, bytes.size() - 16);

    TMlb2 back;
    back.SetTableName("old");
    ASSERT_TRUE(back.LoadFromFile(dir.path("t.mlb")));
    EXPECT_EQ(back.TableName(), "名前");
    EXPECT_EQ(*back.GetFieldType(1), "STRING");
    EXPECT_EQ(*back.GetFieldType(2), "FLOAT");
    EXPECT_EQ(back.GetCell(1, 1), std::string("a\0b", 3));
    EXPECT_EQ(back.GetCell(2, 2), "");
}

TEST_F(Formats, MlbReadsBigEndianFiles) {
    std::string be("MLB\x02\x01\x01\x00\x01\x00\x00\x00\x00", 12);
    std::string rest("\x00\x00", 2);
    rest += std::string("\x00\x00\x00\x01T", 5);                 // table name
    rest += std::string("\x00\x00\x00\x01\x00\x00\x00\x01", 8);  // F = 1, R = 1
    rest += std::string("\x01\x00\x00\x00\x01X", 6);             // FLOAT field X
    rest += std::string(
        "\x00\x00\x00\x06\x00\x00\x00\x02"
        "42",
        10);
    uint32_t n = static_cast<uint32_t>(rest.size());
    be += std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + rest;
    for (const char mark : {'\x01', '\x02', '\x7F', '\x80', '\xFF'}) {  // any mark but 0
        SCOPED_TRACE(static_cast<int>(static_cast<uint8_t>(mark)));
        be[5] = mark;
        TMlb2 t = Load(File("be.mlb", be));
        EXPECT_EQ(t.TableName(), "T");
        ASSERT_NE(t.GetFieldType(1), nullptr);  // a failed load fails here, it does not crash
        EXPECT_EQ(*t.GetFieldType(1), "FLOAT");
        EXPECT_EQ(t.GetCell(1, 1), "42");
    }
    be[5] = '\0';  // the same bytes read little-endian are no such table
    TMlb2 le;
    EXPECT_FALSE(le.LoadFromFile(File("le.mlb", be)));
}

TEST_F(Formats, BadMlbFilesLeaveTheTableAsItWas) {
    TMlb2 good = Table({"IP"}, {{"10.0.0.1"}});
    ASSERT_TRUE(good.SaveMLB(dir.path("g.mlb")));
    const std::string bytes = ReadFileBytes(dir.path("g.mlb"));

    std::vector<std::string> bad = {"XLB" + bytes.substr(3)};
    bad.push_back(bytes.substr(0, 6) + std::string("\x00\x00", 2) + bytes.substr(8));  // word 6
    bad.push_back(bytes.substr(0, 10) + std::string("\x01\x00", 2) + bytes.substr(12));
    for (size_t cut = 0; cut < bytes.size(); ++cut) bad.push_back(bytes.substr(0, cut));
    std::string hugeCount = bytes;
    hugeCount[26] = '\xff';  // the record count, far beyond the bytes that remain
    hugeCount[27] = '\xff';
    bad.push_back(hugeCount);
    bad.push_back(bytes + "x");
    // The record's byte count says one more than its values hold (the file's total agrees).
    std::string longer = bytes + "x";
    longer[bytes.size() - 16] = static_cast<char>(longer[bytes.size() - 16] + 1);
    longer[12] = static_cast<char>(longer[12] + 1);
    bad.push_back(longer);

    for (const std::string& b : bad) {
        TMlb2 t;
        t.SetTableName("mine");
        t.AddField("Keep");
        t.Append();
        t.Next();
        t.SetValue("Keep", "v");
        EXPECT_FALSE(t.LoadFromFile(File("b.mlb", b))) << b.size();
        EXPECT_EQ(t.TableName(), "mine");
        EXPECT_EQ(*t.GetFieldName(1), "Keep");
        EXPECT_EQ(t.CurrentRecord(), 1);
        EXPECT_EQ(*t.GetValue("Keep"), "v");
    }
}

TEST_F(Formats, MissingFilesAndFailedWrites) {
    TMlb2 t;
    t.AddField("A");
    t.SetTableName("kept");
    for (const char* name : {"none.txt", "none.csv", "none.mlb"}) {
        EXPECT_FALSE(t.LoadFromFile(dir.path(name)));
        EXPECT_EQ(t.FieldCount(), 1);
        EXPECT_EQ(t.TableName(), "kept");
    }
    EXPECT_FALSE(t.LoadFromFile(dir.path()));  // a folder is no file
    EXPECT_FALSE(t.SaveToFile(dir.path("missing/x.txt")));
}

TEST_F(Formats, WritesReplaceTheFileAndKeepItsMode) {
    std::string p = File("keep.txt", "old content");
    ::chmod(p.c_str(), 0640);
    TMlb2 t;
    t.AddField("IP");
    ASSERT_TRUE(t.SaveToFile(p));
    EXPECT_EQ(ReadFileBytes(p), "\"IP\"\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    if (::geteuid() != 0) {  // root writes anywhere
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_FALSE(t.SaveToFile(p));
        EXPECT_EQ(ReadFileBytes(p), "\"IP\"\r\n");
        ::chmod(dir.path().c_str(), 0700);
    }
}

TEST_F(Formats, LongTextsAreKeptWhole) {
    TMlb2 t;
    t.AddField(std::string(70000, 'N'));
    t.Append();
    t.Next();
    t.SetValueAt(1, std::string(200000, 'v'));
    for (const char* name : {"l.txt", "l.csv", "l.mlb"}) {
        ASSERT_TRUE(t.SaveToFile(dir.path(name)));
        TMlb2 back = Load(dir.path(name));
        EXPECT_EQ(back.GetFieldName(1)->size(), 70000u) << name;
        EXPECT_EQ(back.GetCell(1, 1).size(), 200000u) << name;
    }
}

// Any table of STRING fields written by a writer reads back with the same names and values.
TEST_F(Formats, RandomTablesRoundTripInEveryKind) {
    std::mt19937 rng(1234);
    const std::string alphabet = std::string("ab ;\"\\\n\r\x81\x5c\xe3", 11) + std::string(1, '\0');
    auto randomText = [&](bool allowSpecial) {
        std::string s;
        int len = rng() % 6;
        for (int i = 0; i < len; ++i) {
            char c = alphabet[rng() % alphabet.size()];
            s += allowSpecial ? c : static_cast<char>('a' + rng() % 26);
        }
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        TMlb2 t;
        int fields = 1 + rng() % 4, records = rng() % 5;
        for (int i = 0; i < fields; ++i) t.AddField("f" + std::to_string(i) + randomText(false));
        for (int n = 0; n < records; ++n) {
            t.Append();
            t.Next();
            for (int i = 1; i <= fields; ++i) {
                if (rng() % 4) t.SetValueAt(i, randomText(true));
            }
        }
        for (const char* name : {"r.txt", "r.csv", "r.mlb"}) {
            ASSERT_TRUE(t.SaveToFile(dir.path(name)));
            TMlb2 back = Load(dir.path(name));
            ASSERT_EQ(back.FieldCount(), fields) << name;
            ASSERT_EQ(back.RecordCount(), records) << name;
            for (int n = 1; n <= records; ++n) {
                for (int i = 1; i <= fields; ++i) {
                    std::string want = t.GetCell(i, n);
                    std::string got = back.GetCell(i, n);
                    std::string kind = name;
                    if (kind == "r.txt") {  // a bare LF inside quotes comes back as CR LF
                        std::string w;
                        for (char c : want) {
                            if (c == '\n' && (w.empty() || w.back() != '\r')) w += '\r';
                            w += c;
                        }
                        want = w;
                    }
                    if (kind == "r.csv") std::erase(want, '\r');  // CR is dropped on reading
                    EXPECT_EQ(got, want) << name << " record " << n << " field " << i;
                }
            }
        }
    }
}

}  // namespace
