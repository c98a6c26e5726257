#include <gtest/gtest.h>

#include "table/mlb2.h"

namespace {

TMlb2 TwoFieldTable(int records) {
    TMlb2 t;
    t.AddField("IP");
    t.AddField("Name");
    for (int n = 1; n <= records; ++n) {
        t.Append();
        t.Next();
        t.SetValue("IP", "10.0.0." + std::to_string(n));
        t.SetValue("Name", "host" + std::to_string(n));
    }
    return t;
}

TEST(StringList, AbsentItemsAndPositions) {
    TMLBStringList l;
    l.Add(std::string("a"));
    l.Add(std::nullopt);
    l.Add(std::string(""));
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(*l.Get(1), "a");
    EXPECT_EQ(l.Get(2), nullptr);
    ASSERT_NE(l.Get(3), nullptr);
    EXPECT_EQ(l.Get(0), nullptr);
    EXPECT_EQ(l.Get(4), nullptr);
    // An absent value compares as the empty text, so "" is found at the absent position first.
    EXPECT_EQ(l.IndexOf(""), 2);
    EXPECT_EQ(l.IndexOf("A"), 0);
    EXPECT_FALSE(l.Set(4, std::string("x")));
    EXPECT_TRUE(l.Set(2, std::string("b")));
    EXPECT_EQ(l.IndexOf("b"), 2);
}

TEST(Table, CursorOfNewAndClearedTables) {
    TMlb2 t;
    EXPECT_TRUE(t.Eof());
    EXPECT_FALSE(t.MoveTo(1));
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.Separator(), ';');
    EXPECT_EQ(t.QuoteChar(), '"');

    t = TwoFieldTable(2);
    t.SetTableName("keep");
    t.Clear();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.CurrentRecord(), 0);
    EXPECT_EQ(t.FieldCount(), 0);
    EXPECT_EQ(t.TableName(), "keep");
}

TEST(Table, FailedMovesKeepTheCurrentRecord) {
    TMlb2 t = TwoFieldTable(3);
    ASSERT_TRUE(t.MoveTo(2));
    EXPECT_FALSE(t.MoveTo(0));
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.CurrentRecord(), 2);
    EXPECT_FALSE(t.MoveTo(4));
    EXPECT_EQ(t.CurrentRecord(), 2);
    EXPECT_TRUE(t.Last());
    EXPECT_FALSE(t.Eof());
    EXPECT_FALSE(t.Next());
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.CurrentRecord(), 3);
    EXPECT_EQ(*t.GetValue("IP"), "10.0.0.3");  // still readable after running off the end
}

TEST(Table, NextFromNoRecordAndAppendKeepsCursor) {
    TMlb2 t;
    t.AddField("IP");
    t.Append();
    t.Append();
    EXPECT_EQ(t.CurrentRecord(), 0);
    EXPECT_FALSE(t.SetValue("IP", "x"));  // no current record yet
    EXPECT_TRUE(t.Next());
    EXPECT_EQ(t.CurrentRecord(), 1);
    EXPECT_EQ(t.GetValue("IP"), nullptr);
}

TEST(Table, AddFieldGivesExistingRowsAbsentValues) {
    TMlb2 t = TwoFieldTable(2);
    t.AddField("Extra");
    EXPECT_EQ(*t.GetFieldType(3), "STRING");
    EXPECT_EQ(t.GetCell(3, 1), "");
    EXPECT_EQ(t.GetValue("Extra"), nullptr);
    EXPECT_EQ(t.GetValueAt(3), nullptr);
    EXPECT_EQ(t.GetCell(1, 2), "10.0.0.2");
    EXPECT_EQ(t.CurrentRecord(), 2);  // GetCell moves the cursor
    EXPECT_EQ(t.GetCell(1, 9), "");
    EXPECT_TRUE(t.Eof());
}

TEST(Table, LookupByNameIsExactAndTakesTheFirst) {
    TMlb2 t;
    t.AddField("IP");
    t.AddField("IP");
    t.Append();
    t.Next();
    EXPECT_TRUE(t.SetValue("IP", "first"));
    EXPECT_EQ(*t.GetValueAt(1), "first");
    EXPECT_EQ(t.GetValueAt(2), nullptr);
    EXPECT_EQ(t.GetValue("ip"), nullptr);
    EXPECT_FALSE(t.SetValue("ip", "x"));
    EXPECT_FALSE(t.SetFieldType(3, "FLOAT"));
    EXPECT_EQ(t.GetFieldName(0), nullptr);
}

}  // namespace
