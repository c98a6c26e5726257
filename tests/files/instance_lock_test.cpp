#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "files/instance_lock.h"
#include "test_support.h"

namespace {

class InstanceLock : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1); }
    TempDir dir;
};

// The lock is per process: another process (a child here) holds it or sees it held.
pid_t ChildHoldingLock(int readyFd) {
    pid_t pid = fork();
    if (pid == 0) {
        FileInstanceLock lock("pingrove");
        char ok = lock.tryAcquire() ? 'y' : 'n';
        (void)!write(readyFd, &ok, 1);
        pause();
        _exit(0);
    }
    return pid;
}

bool ChildCanAcquire() {
    pid_t pid = fork();
    if (pid == 0) {
        FileInstanceLock lock("pingrove");
        _exit(lock.tryAcquire() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(InstanceLock, LivesInTheRuntimeFolder) {
    FileInstanceLock lock("pingrove");
    EXPECT_EQ(lock.path(), dir.path("pingrove.lock"));
}

TEST_F(InstanceLock, SecondHolderIsRefusedAndReleaseFreesIt) {
    FileInstanceLock first("pingrove");
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_FALSE(ChildCanAcquire());
    first.release();
    EXPECT_TRUE(ChildCanAcquire());
}

TEST_F(InstanceLock, AKilledHolderDoesNotBlockTheNextStart) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t holder = ChildHoldingLock(fds[1]);
    char ok = 0;
    ASSERT_EQ(read(fds[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    FileInstanceLock me("pingrove");
    EXPECT_FALSE(me.tryAcquire());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(me.tryAcquire());
    close(fds[0]);
    close(fds[1]);
}

// Without a usable runtime folder (none named, or one that cannot be written) the lock lives in a
// private folder in the shared temporary folder; a link or a foreign folder planted there is
// never followed, and the start goes on unlocked.
TEST(InstanceLockFallback, PrivateFolderInTmpAndNoPlantedLinkIsFollowed) {
    TempDir tmp, elsewhere;
    setenv("XDG_RUNTIME_DIR", elsewhere.path("gone").c_str(), 1);  // named, but not there
    setenv("TMPDIR", tmp.path().c_str(), 1);
    const std::string mine = tmp.path("pingrove-" + std::to_string(::geteuid()));
    {
        FileInstanceLock lock("pingrove");
        EXPECT_EQ(lock.path(), mine + "/pingrove.lock");
        ASSERT_TRUE(lock.tryAcquire());
        struct stat st {};
        ASSERT_EQ(::lstat(mine.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_FALSE(ChildCanAcquire());
    }
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(FileInstanceLock("pingrove").path(), mine + "/pingrove.lock");
    std::filesystem::remove_all(mine);
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), mine.c_str()), 0);
    {
        FileInstanceLock lock("pingrove");
        EXPECT_FALSE(lock.isSafe());
        EXPECT_TRUE(lock.tryAcquire());
        EXPECT_FALSE(std::filesystem::exists(elsewhere.path("pingrove.lock")));
    }
    ::unlink(mine.c_str());
    ASSERT_EQ(::mkdir(mine.c_str(), 0777), 0);
    ::chmod(mine.c_str(), 0777);  // a folder others may write into is no private place
    EXPECT_FALSE(FileInstanceLock("pingrove").isSafe());
    unsetenv("TMPDIR");
}

}  // namespace
