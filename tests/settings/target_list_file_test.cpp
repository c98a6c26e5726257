#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "settings/target_list_file.h"
#include "test_support.h"

namespace {

TEST(TargetListFile, RoundTripsNamesThroughCodePage932) {
    TempDir dir;
    TargetListFile f(QString::fromStdString(dir.Path("iplist.txt")));
    EXPECT_TRUE(f.Load().empty());  // no file: no targets
    std::vector<Target> targets = {{"192.168.0.1", QStringLiteral("ルータ"), {}, {}},
                                   {"10.0.0.2", "", {}, {}},
                                   {"10.0.0.3", "a\"b", {}, {}}};
    ASSERT_TRUE(f.Save(targets));
    EXPECT_EQ(ReadFileBytes(dir.Path("iplist.txt")),
              "\"IP\";\"Name\"\r\n\"192.168.0.1\";\"\x83\x8B\x81\x5B\x83\x5E\"\r\n"
              "\"10.0.0.2\";\"\"\r\n\"10.0.0.3\";\"a\"\"b\"\r\n");
    std::vector<Target> back = f.Load();
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
    TargetListFile f(QString::fromStdString(dir.Path("iplist.txt")));
    std::vector<Target> t = f.Load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].name, QStringLiteral("bad\uFFFD"));
    ASSERT_TRUE(f.Save(t));
    EXPECT_EQ(ReadFileBytes(dir.Path("iplist.txt")), raw);
}

TEST(TargetListFile, MissingFieldsGiveEmptyTexts) {
    TempDir dir;
    WriteFileBytes(dir.Path("iplist.txt"), "\"Address\";\"Name\"\r\n\"x\";\"n\"\r\n");
    auto t = TargetListFile(QString::fromStdString(dir.Path("iplist.txt"))).Load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].ip, QString());
    EXPECT_EQ(t[0].name, "n");
}

// Whatever a save could not give back (a byte order mark, other fields, a header in other case,
// unreadable bytes) is kept once, as the file was at start, in iplist.txt.bak.
TEST(TargetListFile, WhatASaveCannotKeepGoesToABackupOnce) {
    TempDir dir;
    const std::string path = dir.Path("iplist.txt");
    const std::string raw =
        "\xEF\xBB\xBF\"ip\";\"NAME\";\"Memo\"\r\n\"10.0.0.1\";\"gw\";\"keep me\"\r\n";
    WriteFileBytes(path, raw);
    TargetListFile f(QString::fromStdString(path));
    std::vector<Target> t = f.Load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].ip, "10.0.0.1");
    EXPECT_EQ(t[0].name, "gw");
    ASSERT_TRUE(f.Save(t));
    EXPECT_TRUE(f.BackupWritten());
    EXPECT_EQ(ReadFileBytes(path + ".bak"), raw);
    EXPECT_EQ(ReadFileBytes(path), "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"gw\"\r\n");
    ASSERT_TRUE(f.Save({}));  // once per run: the backup keeps the file as it was at start
    EXPECT_EQ(ReadFileBytes(path + ".bak"), raw);

    // A file the program wrote itself round-trips and needs no backup, even with CR LF inside a
    // value (which once gained a CR per save).
    const std::string own = "\"IP\";\"Name\"\r\n\"10.0.0.2\";\"two\r\nlines\"\r\n";
    WriteFileBytes(path, own);
    std::filesystem::remove(path + ".bak");
    TargetListFile g(QString::fromStdString(path));
    ASSERT_TRUE(g.Save(g.Load()));
    EXPECT_EQ(ReadFileBytes(path), own);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    // An older backup is never replaced: the next free number is taken.
    WriteFileBytes(path, raw);
    WriteFileBytes(path + ".bak", "older");
    TargetListFile h(QString::fromStdString(path));
    ASSERT_TRUE(h.Save(h.Load()));
    EXPECT_EQ(h.BackupPath(), QString::fromStdString(path + ".bak.1"));
    EXPECT_EQ(ReadFileBytes(path + ".bak"), "older");
    EXPECT_EQ(ReadFileBytes(path + ".bak.1"), raw);

    // A backup that cannot be written (the disk is full) stops the save; the list stays as it was.
    WriteFileBytes(path, raw);
    TargetListFile k(QString::fromStdString(path));
    const std::vector<Target> loaded = k.Load();
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = k.Save(loaded);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_EQ(k.FailedPath(), QString::fromStdString(path + ".bak.2"));
    EXPECT_EQ(ReadFileBytes(path), raw);
}

// The list given as the user's link stays a link: the save goes to the file it names. A killed
// save's temporary file is cleared by the next one.
TEST(TargetListFile, SavesThroughALinkAndClearsLeftovers) {
    TempDir dir, elsewhere;
    const std::string target = elsewhere.Path("real.txt");
    WriteFileBytes(target, "\"IP\";\"Name\"\r\n");
    ASSERT_EQ(::symlink(target.c_str(), dir.Path("iplist.txt").c_str()), 0);
    WriteFileBytes(elsewhere.Path(".real.txt.a1B2c3"), "half a save");
    TargetListFile f(QString::fromStdString(dir.Path("iplist.txt")));
    ASSERT_TRUE(f.Save({{"10.0.0.9", "n", {}, {}}}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("iplist.txt")));
    EXPECT_EQ(ReadFileBytes(target), "\"IP\";\"Name\"\r\n\"10.0.0.9\";\"n\"\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere.Path()), {}), 1);
}

}  // namespace
