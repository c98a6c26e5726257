#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "files/append_log.h"
#include "test_support.h"

// A history that a kill tore mid-line, that reaches its size, and that another user replaced by
// a link: nothing earlier is lost, every new line is whole, and no link is followed.
TEST(AppendLog, KeepsTornLinesRotatesAndFollowsNoLink) {
    TempDir dir;
    const std::string path = dir.path("state/history.csv");
    AppendLog log(path, "H\r\n", 40);
    ASSERT_TRUE(log.append("a,1\r\n"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.path("state").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);                    // the folder is the user's alone
    WriteFileBytes(path, ReadFileBytes(path) + "b,2,half");  // killed mid-line
    ASSERT_TRUE(log.append("c,3\r\n"));
    EXPECT_EQ(ReadFileBytes(path), "H\r\na,1\r\nb,2,half\r\nc,3\r\n");
    // At 40 bytes the file is kept as .1 and a new one begins with its header.
    ASSERT_TRUE(log.append("d,4567890123456789\r\n"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ReadFileBytes(path + ".1"), "H\r\na,1\r\nb,2,half\r\nc,3\r\nd,4567890123456789\r\n");
    ASSERT_TRUE(log.append("e,5\r\n"));
    EXPECT_EQ(ReadFileBytes(path), "H\r\ne,5\r\n");
    // A link in the file's place is refused, and what it names is left alone.
    WriteFileBytes(dir.path("other"), "theirs");
    std::filesystem::remove(path);
    std::filesystem::create_symlink(dir.path("other"), path);
    EXPECT_FALSE(log.append("f,6\r\n"));
    EXPECT_EQ(ReadFileBytes(dir.path("other")), "theirs");
}
