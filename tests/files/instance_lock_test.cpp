#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

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

// A later start reaches the lock's holder through the socket beside the lock and is heard at once,
// without either side waiting; a socket of another user's is never asked, a caller of another
// user's never heard, and a socket left by a killed holder is replaced.
TEST_F(InstanceLock, ALaterStartIsHeardByTheHolderOfItsOwnUserOnly) {
    FileInstanceLock lock("pingrove");
    ASSERT_TRUE(lock.tryAcquire());
    const std::string path = lock.channelPath();
    EXPECT_EQ(path, dir.path("pingrove.socket"));
    auto laterStartAsks = [&] { return InstanceChannel::ask(path); };     // of this user's
    EXPECT_FALSE(laterStartAsks());                                       // nobody listens yet
    EXPECT_FALSE(InstanceChannel::ask(dir.path(std::string(120, 'x'))));  // no socket's address
    // A holder that was killed left its socket: listening replaces it.
    const pid_t killed = fork();
    if (killed == 0) _exit(InstanceChannel(path).listen() ? 0 : 1);
    waitpid(killed, nullptr, 0);
    InstanceChannel channel(path);
    ASSERT_TRUE(channel.listen());
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(channel.takeRequests());
    ASSERT_TRUE(laterStartAsks());
    EXPECT_TRUE(channel.takeRequests());
    EXPECT_FALSE(channel.takeRequests());  // heard once
    // A link in the socket's place is not followed.
    InstanceChannel elsewhere(dir.path("elsewhere.socket"));
    ASSERT_TRUE(elsewhere.listen());
    ::rename(path.c_str(), dir.path("ours.socket").c_str());
    ASSERT_EQ(::symlink(dir.path("elsewhere.socket").c_str(), path.c_str()), 0);
    EXPECT_FALSE(laterStartAsks());
    EXPECT_FALSE(elsewhere.takeRequests());
    ::unlink(path.c_str());
    ::rename(dir.path("ours.socket").c_str(), path.c_str());
    if (::geteuid() == 0) {
        // Another user's socket in its place is never asked; another user's call is never heard.
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(laterStartAsks());
        EXPECT_FALSE(channel.takeRequests());
        ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
        ::chmod(path.c_str(), 0666);
        EXPECT_TRUE(AsOrdinaryUser(dir.path(), [&] {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            path.copy(address.sun_path, sizeof address.sun_path - 1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        }));
        EXPECT_FALSE(channel.takeRequests());
    }
    // The next holder's socket outlives the close of an earlier one.
    InstanceChannel next(path);
    ASSERT_TRUE(next.listen());
    channel.close();
    EXPECT_TRUE(laterStartAsks());
    EXPECT_TRUE(next.takeRequests());
    next.close();
    EXPECT_FALSE(std::filesystem::exists(path));
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
