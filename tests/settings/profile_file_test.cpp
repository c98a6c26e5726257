#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "settings/profile_file.h"
#include "test_support.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

TEST(ProfileFile, MissingFileSectionOrKeyGivesTheDefault) {
    TempDir dir;
    IniProfileFile f(Q(dir.path("none.INI")));
    EXPECT_EQ(f.readString("Form", "Left", "d"), "d");
    WriteFileBytes(dir.path("a.INI"), "[Other]\nLeft=5\n[Form]\nTop=\n");
    IniProfileFile a(Q(dir.path("a.INI")));
    EXPECT_EQ(a.readString("Form", "Left", "d"), "d");
    EXPECT_EQ(a.readString("Form", "Top", "d"), "");  // present but empty
    EXPECT_EQ(a.readString("form", "top", "d"), "");  // names ignore ASCII case
}

TEST(ProfileFile, WritingKeepsEverythingElse) {
    TempDir dir;
    const std::string path = dir.path("p.INI");
    WriteFileBytes(
        path,
        "; note\r\n[Mine]\r\nx = 1\r\n\r\n[Form]\r\nTop=7\r\nOwn=keep\r\n\r\n[Tail]\r\ny=2\r\n");
    IniProfileFile f(Q(path));
    ASSERT_TRUE(f.writeStrings("Form", {{"Left", "3"}, {"Top", "8"}}));
    EXPECT_EQ(ReadFileBytes(path),
              "; note\r\n[Mine]\r\nx = 1\r\n\r\n[Form]\r\nTop=8\r\nOwn=keep\r\nLeft=3\r\n\r\n"
              "[Tail]\r\ny=2\r\n");
    EXPECT_EQ(f.readString("Mine", "x", ""), "1");

    // Code page 932 bytes from a Windows desktop, a missing final line end: all kept as they were.
    const std::string sjis = "; \x83\x65\x83\x58\x83\x67\r\n[Other]\r\nname=\x93\xfa\x96\x7b\r\n";
    WriteFileBytes(path, sjis + "[Form]\r\nDF=C:\\\x89\xb9.wav\r\nTop=1");
    ASSERT_TRUE(f.writeStrings("Form", {{"Top", "2"}, {"Left", "4"}}));
    EXPECT_EQ(ReadFileBytes(path), sjis + "[Form]\r\nDF=C:\\\x89\xb9.wav\r\nTop=2\nLeft=4\r\n");
    EXPECT_EQ(f.readString("Other", "name", ""), QStringLiteral("日本"));
}

TEST(ProfileFile, NewFileGetsKeysInTheOrderWritten) {
    TempDir dir;
    const std::string path = dir.path("n.INI");
    IniProfileFile f(Q(path));
    ASSERT_TRUE(f.writeStrings("Form", {{"Left", "0"}, {"Top", "0"}, {"DF", "/home/u/音.wav"}}));
    EXPECT_EQ(ReadFileBytes(path), "[Form]\nLeft=0\nTop=0\nDF=/home/u/音.wav\n");
    EXPECT_EQ(f.readString("Form", "DF", ""), QStringLiteral("/home/u/音.wav"));
    ASSERT_TRUE(f.writeString("Form", "Top", "9"));
    EXPECT_EQ(f.readString("Form", "Top", ""), "9");
}

TEST(ProfileFile, LongValuesAreCutAt2047Characters) {
    TempDir dir;
    IniProfileFile f(Q(dir.path("l.INI")));
    ASSERT_TRUE(f.writeString("Form", "DF", QString(3000, 'x')));
    EXPECT_EQ(f.readString("Form", "DF", "").size(), 2047);
}

TEST(ProfileFile, AFailedWriteReportsFalseAndKeepsTheFile) {
    TempDir dir;
    WriteFileBytes(dir.path("plain"), "not a folder");
    EXPECT_FALSE(IniProfileFile(Q(dir.path("plain/p.INI"))).writeString("Form", "Left", "2"));
    if (::geteuid() == 0) return;  // root writes into read-only folders
    const std::string path = dir.path("r.INI");
    WriteFileBytes(path, "[Form]\nLeft=1\n");
    ::chmod(dir.path().c_str(), 0500);
    IniProfileFile f(Q(path));
    EXPECT_FALSE(f.writeString("Form", "Left", "2"));
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(ReadFileBytes(path), "[Form]\nLeft=1\n");
}

// A full disk: the write fails part way (a file size limit stands in for it), the old file stays
// whole and no temporary file is left behind.
TEST(ProfileFile, AWriteThatRunsOutOfSpaceKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.path("full.INI");
    const std::string old = "[Form]\nLeft=1\n; " + std::string(3000, 'c') + "\n";
    WriteFileBytes(path, old);
    const bool written = WithFileSizeLimit(
        1024, [&] { return IniProfileFile(Q(path)).writeString("Form", "Left", "2"); });
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
