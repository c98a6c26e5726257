#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "files/atomic_file.h"
#include "settings/settings_file.h"
#include "settings/target_list_file.h"
#include "test_support.h"

namespace {

TEST(TargetListFile, RoundTripsNamesThroughCodePage932) {
    TempDir dir;
    TargetListFile f(QString::fromStdString(dir.path("iplist.txt")));
    EXPECT_TRUE(f.load().empty());  // no file: no targets
    std::vector<Target> targets = {{"192.168.0.1", QStringLiteral("ルータ"), {}, {}},
                                   {"10.0.0.2", "", {}, {}},
                                   {"10.0.0.3", "a\"b", {}, {}}};
    ASSERT_TRUE(f.save(targets));
    EXPECT_EQ(ReadFileBytes(dir.path("iplist.txt")),
              "\"IP\";\"Name\"\r\n\"192.168.0.1\";\"\x83\x8B\x81\x5B\x83\x5E\"\r\n"
              "\"10.0.0.2\";\"\"\r\n\"10.0.0.3\";\"a\"\"b\"\r\n");
    std::vector<Target> back = f.load();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, QStringLiteral("ルータ"));
    EXPECT_EQ(back[1].name, QString());
    EXPECT_EQ(back[2].name, "a\"b");
    ASSERT_TRUE(f.save({}));
    EXPECT_EQ(ReadFileBytes(dir.path("iplist.txt")), "\"IP\";\"Name\"\r\n");
}

TEST(TargetListFile, BytesThatAreNoCodePage932AreShownReplacedAndWrittenBackAsTheyWere) {
    TempDir dir;
    const std::string raw = "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"bad\x81\"\r\n";
    WriteFileBytes(dir.path("iplist.txt"), raw);
    TargetListFile f(QString::fromStdString(dir.path("iplist.txt")));
    std::vector<Target> t = f.load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].name, QStringLiteral("bad\uFFFD"));
    ASSERT_TRUE(f.save(t));
    EXPECT_EQ(ReadFileBytes(dir.path("iplist.txt")), raw);
}

// A list a Linux editor wrote (UTF-8, with a byte order mark or without) is read and written in
// UTF-8, with no backup: its bytes come back. So does a code page 932 list that is valid UTF-8
// too (half-width ﾃｽ, read as "ý"); a new name goes into a plain ASCII list in code page 932.
TEST(TargetListFile, AListInUtf8StaysInUtf8) {
    TempDir dir;
    const std::string path = dir.path("iplist.txt"), head = "\"IP\";\"Name\"\r\n\"1\";";
    // The first name read from `raw`, and the file once 支店 is added.
    const auto readAndAdd = [&](const std::string& raw) {
        WriteFileBytes(path, raw);
        TargetListFile f(QString::fromStdString(path));
        std::vector<Target> t = f.load();
        t.push_back({"2", QStringLiteral("支店"), {}, {}});
        EXPECT_TRUE(f.save(t) && !f.backupWritten());
        return std::pair{t[0].name, ReadFileBytes(path)};
    };
    for (const std::string bom : {"", "\xEF\xBB\xBF"})
        EXPECT_EQ(readAndAdd(bom + head + "\"本社ルーター\"\r\n"),
                  std::pair(QStringLiteral("本社ルーター"),
                            bom + head + "\"本社ルーター\"\r\n\"2\";\"支店\"\r\n"));
    EXPECT_EQ(readAndAdd(head + "\"\xC3\xBD\"\r\n"),
              std::pair(QStringLiteral("ý"), head + "\"\xC3\xBD\"\r\n\"2\";\"支店\"\r\n"));
    // Code page 932 whose bytes would be UTF-8 but for the second byte's narrower range after
    // E0 (an overlong form) or ED (a surrogate).
    for (const auto& [cp932, name] :
         {std::pair{"\xE0\x80\x81\x40", "烙　"}, {"\xED\xA0\x81\x40", "恝　"}})
        EXPECT_EQ(readAndAdd(head + "\"" + cp932 + "\"\r\n"),
                  std::pair(QString::fromUtf8(name),
                            head + "\"" + cp932 + "\"\r\n\"2\";\"\x8E\x78\x93\x58\"\r\n"));
    EXPECT_EQ(readAndAdd(head + "\"n\"\r\n"),
              std::pair(QStringLiteral("n"), head + "\"n\"\r\n\"2\";\"\x8E\x78\x93\x58\"\r\n"));
}

TEST(TargetListFile, MissingFieldsGiveEmptyTexts) {
    TempDir dir;
    WriteFileBytes(dir.path("iplist.txt"), "\"Address\";\"Name\"\r\n\"x\";\"n\"\r\n");
    auto t = TargetListFile(QString::fromStdString(dir.path("iplist.txt"))).load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].ip, QString());
    EXPECT_EQ(t[0].name, "n");
}

// Whatever a save could not give back (other fields, a header in other case, unreadable bytes) is
// kept once, as the file was at start, in iplist.txt.bak; a byte order mark stays.
TEST(TargetListFile, WhatASaveCannotKeepGoesToABackupOnce) {
    TempDir dir;
    const std::string path = dir.path("iplist.txt");
    const std::string raw =
        "\xEF\xBB\xBF\"ip\";\"NAME\";\"Memo\"\r\n\"10.0.0.1\";\"gw\";\"keep me\"\r\n";
    WriteFileBytes(path, raw);
    TargetListFile f(QString::fromStdString(path));
    std::vector<Target> t = f.load();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].ip, "10.0.0.1");
    EXPECT_EQ(t[0].name, "gw");
    ASSERT_TRUE(f.save(t));
    EXPECT_TRUE(f.backupWritten());
    EXPECT_EQ(ReadFileBytes(path + ".bak"), raw);
    EXPECT_EQ(ReadFileBytes(path), "\xEF\xBB\xBF\"IP\";\"Name\"\r\n\"10.0.0.1\";\"gw\"\r\n");
    ASSERT_TRUE(f.save({}));  // once per run: the backup keeps the file as it was at start
    EXPECT_EQ(ReadFileBytes(path + ".bak"), raw);

    // A file the program wrote itself round-trips and needs no backup, even with CR LF inside a
    // value (which once gained a CR per save).
    const std::string own = "\"IP\";\"Name\"\r\n\"10.0.0.2\";\"two\r\nlines\"\r\n";
    WriteFileBytes(path, own);
    std::filesystem::remove(path + ".bak");
    TargetListFile g(QString::fromStdString(path));
    ASSERT_TRUE(g.save(g.load()));
    EXPECT_EQ(ReadFileBytes(path), own);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    // An older backup is never replaced: the next free number is taken.
    WriteFileBytes(path, raw);
    WriteFileBytes(path + ".bak", "older");
    TargetListFile h(QString::fromStdString(path));
    ASSERT_TRUE(h.save(h.load()));
    EXPECT_EQ(h.backupPath(), QString::fromStdString(path + ".bak.1"));
    EXPECT_EQ(ReadFileBytes(path + ".bak"), "older");
    EXPECT_EQ(ReadFileBytes(path + ".bak.1"), raw);

    // A backup that cannot be written (the disk is full) stops the save; the list stays as it was.
    WriteFileBytes(path, raw);
    TargetListFile k(QString::fromStdString(path));
    const std::vector<Target> loaded = k.load();
    const bool written = WithFileSizeLimit(16, [&] { return k.save(loaded); });
    EXPECT_FALSE(written);
    EXPECT_EQ(k.failedPath(), QString::fromStdString(path + ".bak.2"));
    EXPECT_EQ(ReadFileBytes(path), raw);
}

// The list given as the user's link stays a link: the save goes to the file it names. A killed
// save's temporary file is cleared by the next one, and only that: the user's own dot files that
// look alike stay.
// Started from the menu (in the home folder), an installed program keeps its list out of the home
// folder; started in any other folder, or as a program of a build tree, it uses that folder's; a
// ~/iplist.txt an earlier version wrote stays in use.
TEST(TargetListFile, TheListsPlaceKeepsTheHomeFolderClean) {
    TempDir home, other;
    const QString h = QString::fromStdString(home.path());
    const QString data = QString::fromStdString(other.path("data"));
    EXPECT_EQ(TargetListFile::locate(h, h, data, true), data + "/pingrove/iplist.txt");
    EXPECT_EQ(TargetListFile::locate(h, h, "relative", true),
              h + "/.local/share/pingrove/iplist.txt");
    EXPECT_EQ(TargetListFile::locate(h, h, data, false), h + "/iplist.txt");
    const QString o = QString::fromStdString(other.path());
    EXPECT_EQ(TargetListFile::locate(o, h, data, true), o + "/iplist.txt");
    WriteFileBytes(home.path("iplist.txt"), "\"IP\";\"Name\"\r\n");
    EXPECT_EQ(TargetListFile::locate(h, h, data, true), h + "/iplist.txt");
    // The data folder is made by the first save, for the user alone, as is the one above it.
    TargetListFile f(data + "/pingrove/iplist.txt");
    EXPECT_TRUE(f.save({{"10.0.0.9", "n", {}, {}}}));
    struct stat st {};
    for (const std::string& folder : {other.path("data"), other.path("data/pingrove")}) {
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << folder;
    }
}

TEST(TargetListFile, SavesThroughALinkAndClearsLeftovers) {
    TempDir dir, elsewhere;
    const std::string target = elsewhere.path("real.txt");
    WriteFileBytes(target, "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"m\"\r\n");
    ASSERT_EQ(::symlink(target.c_str(), dir.path("iplist.txt").c_str()), 0);
    WriteFileBytes(elsewhere.path(".real.txt.a1B2c3.pingrove-tmp"), "half a save");
    WriteFileBytes(elsewhere.path(".real.txt.backup"), "the user's");
    WriteFileBytes(elsewhere.path(".real.txt.2024-1"), "the user's");
    TargetListFile f(QString::fromStdString(dir.path("iplist.txt")));
    EXPECT_EQ(f.load().size(), 1u);  // the user's link is read like the file it names
    EXPECT_EQ(f.startResult(), ReadResult::Read);
    ASSERT_TRUE(f.save({{"10.0.0.9", "n", {}, {}}}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("iplist.txt")));
    EXPECT_EQ(ReadFileBytes(target), "\"IP\";\"Name\"\r\n\"10.0.0.9\";\"n\"\r\n");
    EXPECT_FALSE(std::filesystem::exists(elsewhere.path(".real.txt.a1B2c3.pingrove-tmp")));
    EXPECT_EQ(ReadFileBytes(elsewhere.path(".real.txt.backup")), "the user's");
    EXPECT_EQ(ReadFileBytes(elsewhere.path(".real.txt.2024-1")), "the user's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere.path()), {}), 3);
    // A name near a folder entry's 255 bytes is written: what the temporary adds is cut from its
    // own name (at a character's start), and its leftover is still found.
    std::string name = "x";
    while (name.size() < 250) name += "ログ";
    const std::string stem = name.substr(0, 232);  // the whole characters within 234 bytes
    WriteFileBytes(elsewhere.path("." + stem + ".a1B2c3.pingrove-tmp"), "half a save");
    ASSERT_TRUE(writeFileAtomically(elsewhere.path(name), "whole"));
    EXPECT_EQ(ReadFileBytes(elsewhere.path(name)), "whole");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere.path()), {}), 4);
}

}  // namespace

// Files in the place of the list or the settings that cannot be read: the start neither hangs nor
// fills the memory and reads nothing; the first save keeps an unread original under a numbered
// backup name and never writes over what is no regular file.
TEST(OddFiles, AreReportedKeptAndNeverWrittenOver) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        ReadResult expected;
        bool savable;  // a save may go ahead once the original is out of the way
    };
    const std::string bytes = "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"a\"\r\n[Form]\nLeft=7\n";
    const std::vector<Case> cases = {
        {"mode 000",
         [&](const std::string& p) {
             WriteFileBytes(p, bytes);
             ::chmod(p.c_str(), 0);
         },
         ReadResult::Unreadable, true},
        {"FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }, ReadResult::NotRegular,
         false},
        {"link to /dev/zero",
         [](const std::string& p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); },
         ReadResult::NotRegular, false},
        {"folder", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, ReadResult::NotRegular,
         false},
        {"over the limit",
         [&](const std::string& p) {
             WriteFileBytes(p, bytes);
             ASSERT_EQ(::truncate(p.c_str(), static_cast<off_t>(KeptFile::kSizeLimit) + 1),
                       0);  // sparse
         },
         ReadResult::TooBig, true},
    };
    for (const Case& c : cases) {
        for (const bool list : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (list ? " as the list" : " as the settings"));
            TempDir dir;
            const std::string path = dir.path(list ? "iplist.txt" : "pingrove.INI");
            c.make(path);
            WriteFileBytes(path + ".bak", "");  // an older backup: .bak.1 is the next free name
            struct stat before {};
            ::lstat(path.c_str(), &before);
            const bool asExpected = AsOrdinaryUser(dir.path(), [&] {
                bool ok;
                if (list) {
                    TargetListFile f(QString::fromStdString(path));
                    ok = f.load().empty() && f.startResult() == c.expected &&
                         f.save({{"10.0.0.2", "b", {}, {}}}) == c.savable &&
                         f.backupPath() ==
                             (c.savable ? QString::fromStdString(path + ".bak.1") : QString());
                    // The original is moved aside once: a second save replaces the new file.
                    if (c.savable)
                        ok = ok && f.save({}) && !std::filesystem::exists(path + ".bak.2");
                } else {
                    SettingsFile f(QString::fromStdString(dir.path("pingrove")));
                    ok = f.load().left == 0 && f.startResult() == c.expected &&
                         f.save(WindowSettings{}) == c.savable &&
                         f.movedAsidePath() ==
                             (c.savable ? QString::fromStdString(path + ".bak.1") : QString());
                    if (c.savable)
                        ok = ok && f.save(WindowSettings{}) &&
                             !std::filesystem::exists(path + ".bak.2");
                }
                return ok;
            });
            EXPECT_TRUE(asExpected);
            struct stat after {};
            ::lstat(path.c_str(), &after);
            if (c.savable) {
                ::chmod((path + ".bak.1").c_str(), 0600);
                EXPECT_EQ(ReadFileBytes(path + ".bak.1").substr(0, bytes.size()), bytes);
                EXPECT_TRUE(S_ISREG(after.st_mode));  // the new file in its place
            } else {
                EXPECT_EQ(after.st_mode, before.st_mode);  // left alone
                EXPECT_FALSE(std::filesystem::exists(path + ".bak.1"));
            }
        }
    }
}

// Memory that runs out while a list within the limits is taken apart is told as such: no crash,
// and the file is kept at the first save. The limit is set on the address space of a child.
TEST(OddFiles, RunningOutOfMemoryIsToldAndKeptNotACrash) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit allows";
#else
    TempDir dir;
    const std::string path = dir.path("iplist.txt");
    std::string big = "\"IP\";\"Name\"\r\n";
    for (size_t i = 0; i < TargetListFile::kRowLimit; ++i) big += "\"10.0.0.1\";\"name\"\r\n";
    WriteFileBytes(path, big);
    const pid_t pid = ::fork();
    if (pid == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit limit{static_cast<rlim_t>(pages) * 4096 + (8u << 20),
                           static_cast<rlim_t>(pages) * 4096 + (8u << 20)};
        ::setrlimit(RLIMIT_AS, &limit);
        TargetListFile f(QString::fromStdString(path));
        const bool ok = f.load().empty() && f.startResult() == ReadResult::OutOfMemory &&
                        f.save({}) && f.backupPath() == QString::fromStdString(path + ".bak");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(path + ".bak"), big);
    // With the memory there, a list at the row limit is read whole.
    WriteFileBytes(path, big);
    TargetListFile f(QString::fromStdString(path));
    EXPECT_EQ(f.load().size(), TargetListFile::kRowLimit);
#endif
}
