#include <gtest/gtest.h>

#include "settings/target_list_file.h"
#include "test_support.h"

namespace {

TEST(TargetListFile, RoundTripsNamesThroughCodePage932) {
    TempDir dir;
    TTargetListFile f(QString::fromStdString(dir.Path("iplist.txt")));
    EXPECT_TRUE(f.Load().empty());  // no file: no targets
    std::vector<TTarget> targets = {{"192.168.0.1", QStringLiteral("ルータ"), {}, {}},
                                    {"10.0.0.2", "", {}, {}},
                                    {"10.0.0.3", "a\"b", {}, {}}};
    ASSERT_TRUE(f.Save(targets));
    EXPECT_EQ(ReadFileBytes(dir.Path("iplist.txt")),
              "\"IP\";\"Name\"\r\n\"192.168.0.1\";\"\x83\x8B\x81\x5B\x83\x5E\"\r\n"
              "\"10.0.0.2\";\"\"\r\n\"10.0.0.3\";\"a\"\"b\"\r\n");
    std::vector<TTarget> back = f.Load();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, QStringLiteral("ルータ"));
    EXPECT_EQ(back[1].name, QString());
    EXPECT_EQ(back[2].name, "a\"b");
    ASSERT_TRUE(f.Save({}));
    EXPECT_EQ(ReadFileBytes(dir.Path("iplist.txt")), "\"IP\";\"Name\"\r\n");
}

TEST(TargetListFile, BytesThatAreNoCodePage932AreShownReplacedAndWrittenBackAsTheyWere) {
    TempDir dir;
    const std::string raw = "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"bad\x81\"\r\n";
    WriteFileBytes(dir.Path("iplist.txt"), raw);
    TTargetListFile f(QString::fromStdString(dir.Path("iplist.txt")));
    std::vector<TTarget> t = f.Load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].name, QStringLiteral("bad\uFFFD"));
    ASSERT_TRUE(f.Save(t));
    EXPECT_EQ(ReadFileBytes(dir.Path("iplist.txt")), raw);
}

TEST(TargetListFile, MissingFieldsGiveEmptyTexts) {
    TempDir dir;
    WriteFileBytes(dir.Path("iplist.txt"), "\"Address\";\"Name\"\r\n\"x\";\"n\"\r\n");
    auto t = TTargetListFile(QString::fromStdString(dir.Path("iplist.txt"))).Load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].ip, QString());
    EXPECT_EQ(t[0].name, "n");
}

}  // namespace
